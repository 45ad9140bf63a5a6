#include "PipeRecords.h"

namespace qln::download {

PipeRecords::PipeRecords(std::string_view text, std::string name) : m_text(text), m_name(std::move(name)) {}

void PipeRecords::fail(long line, const std::string& what) const
{
    throw DownloadError(m_name + ", line " + std::to_string(line) + ": " + what);
}

bool PipeRecords::next(std::vector<PipeField>& fields)
{
    fields.clear();
    // Empty lines (a last line end, a blank line) hold no record.
    while (m_at < m_text.size() && (m_text[m_at] == '\n' || m_text.substr(m_at, 2) == "\r\n")) {
        m_at += m_text[m_at] == '\n' ? 1 : 2;
        ++m_line;
    }
    if (m_at >= m_text.size())
        return false;
    m_recordLine = m_line;
    for (;;) {
        PipeField field;
        if (m_at < m_text.size() && m_text[m_at] == '"') {
            field.quoted = true;
            const long opened = m_line;
            ++m_at;
            for (;;) {
                const std::size_t quote = m_text.find('"', m_at);
                if (quote == std::string_view::npos)
                    fail(opened, "a quote is left open");
                const std::string_view part = m_text.substr(m_at, quote - m_at);
                for (const char c : part)
                    m_line += c == '\n';
                field.text += part;
                m_at = quote + 1;
                if (m_at < m_text.size() && m_text[m_at] == '"') {
                    field.text += '"';
                    ++m_at;
                    continue;
                }
                break;
            }
            const bool ends = m_at >= m_text.size() || m_text[m_at] == '|' || m_text[m_at] == '\n' ||
                              m_text.substr(m_at, 2) == "\r\n";
            if (!ends)
                fail(m_line, "field " + std::to_string(fields.size() + 1) +
                                 ": a character follows the closing quote (a quote inside a text must be doubled)");
        } else {
            const std::size_t end = m_text.find_first_of("|\n", m_at);
            std::size_t stop = end == std::string_view::npos ? m_text.size() : end;
            if (stop > m_at && stop < m_text.size() && m_text[stop] == '\n' && m_text[stop - 1] == '\r')
                --stop;
            field.text.assign(m_text.substr(m_at, stop - m_at));
            m_at = stop;
        }
        fields.push_back(std::move(field));
        if (m_at >= m_text.size())
            return true;
        if (m_text[m_at] == '|') {
            ++m_at;
            continue;
        }
        m_at += m_text[m_at] == '\n' ? 1 : 2;
        ++m_line;
        return true;
    }
}

} // namespace qln::download
