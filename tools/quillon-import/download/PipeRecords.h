#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qln::download {

// Bad input in a survey download; the message names the file and, where it applies, the
// line and the field.
class DownloadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One field of a record: its text with doubled quotes undone, and whether it was quoted
// (an empty field that was not quoted is Null).
struct PipeField {
    std::string text;
    bool quoted = false;
};

// The records of a table file: fields separated by "|", texts in double quotes with a
// quote inside doubled (a quoted text may hold line breaks), records ending with CRLF or
// LF. Lines without any character are skipped.
class PipeRecords {
public:
    // name: the file as messages name it.
    PipeRecords(std::string_view text, std::string name);

    // Reads the next record; false after the last. A quote left open or a character after
    // a closing quote throws DownloadError naming the file and line.
    bool next(std::vector<PipeField>& fields);
    // The line the current record starts on (1-based).
    long line() const { return m_recordLine; }
    const std::string& name() const { return m_name; }

private:
    [[noreturn]] void fail(long line, const std::string& what) const;

    std::string_view m_text;
    std::string m_name;
    std::size_t m_at = 0;
    long m_line = 1;
    long m_recordLine = 0;
};

} // namespace qln::download
