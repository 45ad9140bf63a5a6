// Survey download table files: read record by record, or refused with DownloadError naming
// the file; what is read, written back with every non-Null field quoted, reads the same.

#include "FuzzCheck.h"
#include "PipeRecords.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using qln::download::PipeField;
using qln::download::PipeRecords;

std::vector<std::vector<PipeField>> readAll(std::string_view text)
{
    PipeRecords records(text, "table.txt");
    std::vector<std::vector<PipeField>> all;
    std::vector<PipeField> fields;
    long line = 0;
    while (records.next(fields)) {
        QUILLON_FUZZ_CHECK(!fields.empty());
        QUILLON_FUZZ_CHECK(records.line() > line);
        line = records.line();
        all.push_back(fields);
    }
    return all;
}

// An empty field that was not quoted is Null and is written as nothing; every other field is
// quoted, so no text can be taken for a separator or a line end.
std::string write(const std::vector<std::vector<PipeField>>& all)
{
    std::string text;
    for (const auto& fields : all) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                text += '|';
            if (fields[i].text.empty() && !fields[i].quoted)
                continue;
            text += '"';
            for (const char c : fields[i].text)
                text += c == '"' ? std::string("\"\"") : std::string(1, c);
            text += '"';
        }
        text += "\r\n";
    }
    return text;
}

bool sameValues(const std::vector<std::vector<PipeField>>& a, const std::vector<std::vector<PipeField>>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t r = 0; r < a.size(); ++r) {
        if (a[r].size() != b[r].size())
            return false;
        for (std::size_t f = 0; f < a[r].size(); ++f) {
            const bool nullA = a[r][f].text.empty() && !a[r][f].quoted;
            const bool nullB = b[r][f].text.empty() && !b[r][f].quoted;
            if (a[r][f].text != b[r][f].text || nullA != nullB)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::vector<PipeField>> all;
    try {
        all = readAll(text);
    } catch (const qln::download::DownloadError& error) {
        QUILLON_FUZZ_CHECK(std::string_view(error.what()).starts_with("table.txt, line "));
        return 0;
    }
    QUILLON_FUZZ_CHECK(sameValues(readAll(write(all)), all));
    return 0;
}
