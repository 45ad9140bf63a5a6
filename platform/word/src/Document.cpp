#include "quillon/word/Document.h"

#include "Package.h"
#include "quillon/AtomicFile.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <sstream>
#include <variant>

namespace qln::word {
namespace {

constexpr const char* kTemplateType = "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml";
constexpr const char* kDocumentType = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";

// Text that XML 1.0 can carry: invalid UTF-8 becomes U+FFFD, control characters other
// than tab are dropped (database texts may hold them; Word refuses such a document).
std::string xmlSafe(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c >= 0x20 || c == '\t')
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        const int length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0xC0) == 0x80;
        if (valid) {
            out.append(text.substr(i, static_cast<std::size_t>(length)));
            i += static_cast<std::size_t>(length);
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string number(long value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Twentieths of a point, the unit of widths in WordprocessingML.
long twips(double points)
{
    return std::lround(points * 20.0);
}

void writeRunProperties(pugi::xml_node run, const Font& font)
{
    pugi::xml_node properties = run.append_child("w:rPr");
    if (font.bold)
        properties.append_child("w:b");
    if (font.italic)
        properties.append_child("w:i");
    const std::string halfPoints = number(std::lround(font.size * 2));
    properties.append_child("w:sz").append_attribute("w:val").set_value(halfPoints.c_str());
    properties.append_child("w:szCs").append_attribute("w:val").set_value(halfPoints.c_str());
}

void writeParagraph(pugi::xml_node parent, const Paragraph& paragraph)
{
    pugi::xml_node p = parent.append_child("w:p");
    for (const Run& run : paragraph.runs) {
        pugi::xml_node r = p.append_child("w:r");
        writeRunProperties(r, run.font);
        if (!run.symbolFont.empty()) {
            char code[8];
            std::snprintf(code, sizeof code, "F0%02X", run.symbolChar & 0xFF);
            pugi::xml_node sym = r.append_child("w:sym");
            sym.append_attribute("w:font").set_value(run.symbolFont.c_str());
            sym.append_attribute("w:char").set_value(code);
            continue;
        }
        // Tabs are elements of their own in a run.
        std::string_view text = run.text;
        while (!text.empty()) {
            const auto tab = text.find('\t');
            const std::string_view piece = text.substr(0, tab);
            if (!piece.empty()) {
                pugi::xml_node t = r.append_child("w:t");
                t.append_attribute("xml:space").set_value("preserve");
                t.text().set(std::string(piece).c_str());
            }
            if (tab == std::string_view::npos)
                break;
            r.append_child("w:tab");
            text.remove_prefix(tab + 1);
        }
    }
}

void writeBorders(pugi::xml_node properties)
{
    pugi::xml_node borders = properties.append_child("w:tblBorders");
    for (const char* side : {"w:top", "w:left", "w:bottom", "w:right", "w:insideH", "w:insideV"}) {
        pugi::xml_node border = borders.append_child(side);
        border.append_attribute("w:val").set_value("single");
        border.append_attribute("w:sz").set_value("4");
        border.append_attribute("w:space").set_value("0");
        border.append_attribute("w:color").set_value("000000");
    }
}

// `done` counts the rows written of the body's `bodySize` paragraphs and rows.
void writeTable(pugi::xml_node parent, const Table& table, long& done, long bodySize, const Document::Going& going)
{
    pugi::xml_node tbl = parent.append_child("w:tbl");
    pugi::xml_node properties = tbl.append_child("w:tblPr");
    long total = 0;
    for (int c = 1; c <= table.columnCount(); ++c)
        total += twips(table.columnWidth(c));
    pugi::xml_node width = properties.append_child("w:tblW");
    width.append_attribute("w:w").set_value(number(total).c_str());
    width.append_attribute("w:type").set_value("dxa");
    writeBorders(properties);
    properties.append_child("w:tblLayout").append_attribute("w:type").set_value("fixed");
    pugi::xml_node grid = tbl.append_child("w:tblGrid");
    for (int c = 1; c <= table.columnCount(); ++c)
        grid.append_child("w:gridCol").append_attribute("w:w").set_value(number(twips(table.columnWidth(c))).c_str());
    for (int r = 1; r <= table.rowCount(); ++r, ++done) {
        if (going && r % 256 == 0)
            going(done, bodySize);
        pugi::xml_node tr = tbl.append_child("w:tr");
        if (r == 1 && table.headingRow())
            tr.append_child("w:trPr").append_child("w:tblHeader");
        for (int c = 1; c <= table.columnCount(); ++c) {
            pugi::xml_node tc = tr.append_child("w:tc");
            pugi::xml_node cellWidth = tc.append_child("w:tcPr").append_child("w:tcW");
            cellWidth.append_attribute("w:w").set_value(number(twips(table.columnWidth(c))).c_str());
            cellWidth.append_attribute("w:type").set_value("dxa");
            const Cell& cell = table.cell(r, c);
            // A cell holds at least one paragraph.
            if (cell.paragraphs().empty())
                tc.append_child("w:p");
            for (const Paragraph& paragraph : cell.paragraphs())
                writeParagraph(tc, paragraph);
        }
    }
}

} // namespace

DocumentLocked::DocumentLocked(const std::filesystem::path& path)
    : std::runtime_error("The document " + path.string() + " is open in another program."), m_path(path)
{
}

TextRange::TextRange() = default;

void TextRange::typeText(std::string_view text)
{
    if (m_paragraphs.empty())
        m_paragraphs.emplace_back();
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        if (!end && text[i] != '\r' && text[i] != '\n')
            continue;
        if (i > start) {
            const std::string piece = xmlSafe(text.substr(start, i - start));
            auto& runs = m_paragraphs.back().runs;
            const bool sameFont = !runs.empty() && runs.back().symbolFont.empty() &&
                                  runs.back().font.size == m_font.size && runs.back().font.bold == m_font.bold &&
                                  runs.back().font.italic == m_font.italic;
            if (sameFont)
                runs.back().text += piece;
            else
                runs.push_back(Run{piece, m_font, {}, 0});
        }
        if (end)
            break;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        m_paragraphs.emplace_back();
        start = i + 1;
    }
}

void TextRange::insertSymbol(int characterNumber, std::string fontName)
{
    if (m_paragraphs.empty())
        m_paragraphs.emplace_back();
    m_paragraphs.back().runs.push_back(Run{{}, m_font, std::move(fontName), characterNumber});
}

std::string TextRange::text() const
{
    std::string out;
    for (std::size_t i = 0; i < m_paragraphs.size(); ++i) {
        if (i > 0)
            out += "\n";
        for (const Run& run : m_paragraphs[i].runs)
            out += run.text;
    }
    return out;
}

Table::Table(int rows, int columns)
    : m_columns(columns), m_cells(static_cast<std::size_t>(rows), std::vector<Cell>(static_cast<std::size_t>(columns))),
      m_widths(static_cast<std::size_t>(columns), 72.0)
{
}

Cell& Table::cell(int row, int column)
{
    return m_cells.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column - 1));
}

const Cell& Table::cell(int row, int column) const
{
    return m_cells.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column - 1));
}

void Table::addRow()
{
    m_cells.emplace_back(static_cast<std::size_t>(m_columns));
    // A new row takes the font of the row above, as the automation model does.
    if (m_cells.size() > 1) {
        auto& above = m_cells[m_cells.size() - 2];
        for (std::size_t c = 0; c < above.size(); ++c)
            m_cells.back()[c].font() = above[c].font();
    }
}

void Table::setFontSize(double points)
{
    for (auto& row : m_cells) {
        for (Cell& cell : row)
            cell.font().size = points;
    }
}

void Table::setRowFont(int row, double points, bool bold)
{
    for (Cell& cell : m_cells.at(static_cast<std::size_t>(row - 1))) {
        cell.font().size = points;
        cell.font().bold = bold;
    }
}

void Table::setColumnWidth(int column, double points)
{
    m_widths.at(static_cast<std::size_t>(column - 1)) = points;
}

double Table::columnWidth(int column) const
{
    return m_widths.at(static_cast<std::size_t>(column - 1));
}

struct Document::Impl {
    std::filesystem::path templatePath;
    Parts parts;
    // The body in order: paragraphs typed at the selection and tables between them.
    std::vector<std::variant<TextRange, std::unique_ptr<Table>>> blocks;
};

Document::Document(std::filesystem::path templatePath) : m_impl(std::make_unique<Impl>())
{
    m_impl->templatePath = std::move(templatePath);
    m_impl->parts = readPackage(m_impl->templatePath);
    const auto types = m_impl->parts.find("[Content_Types].xml");
    const auto main = m_impl->parts.find("word/document.xml");
    if (types == m_impl->parts.end() || main == m_impl->parts.end())
        throw DocumentError("The template " + m_impl->templatePath.string() + " is not a word-processing template.");
    const auto at = types->second.find(kTemplateType);
    if (at != std::string::npos)
        types->second.replace(at, std::string_view(kTemplateType).size(), kDocumentType);
}

Document::~Document() = default;

TextRange& Document::selection()
{
    auto& blocks = m_impl->blocks;
    if (blocks.empty() || !std::holds_alternative<TextRange>(blocks.back())) {
        // The insertion point below a table keeps the font it had above it.
        Font font;
        for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
            if (const auto* range = std::get_if<TextRange>(&*it)) {
                font = range->font();
                break;
            }
        }
        blocks.emplace_back(TextRange());
        std::get<TextRange>(blocks.back()).font() = font;
    }
    return std::get<TextRange>(blocks.back());
}

Table& Document::addTable(int rows, int columns)
{
    if (rows < 1 || columns < 1)
        throw DocumentError("A table needs at least one row and one column.");
    selection();
    m_impl->blocks.emplace_back(std::make_unique<Table>(rows, columns));
    return *std::get<std::unique_ptr<Table>>(m_impl->blocks.back());
}

std::string Document::bodyXml(const Going& going) const
{
    const long total = bodySize();
    long done = 0;
    pugi::xml_document fragment;
    pugi::xml_node body = fragment.append_child("w:body");
    for (const auto& block : m_impl->blocks) {
        if (const auto* range = std::get_if<TextRange>(&block)) {
            for (const Paragraph& paragraph : range->paragraphs()) {
                if (going && ++done % 1024 == 0)
                    going(done, total);
                writeParagraph(body, paragraph);
            }
        } else {
            writeTable(body, *std::get<std::unique_ptr<Table>>(block), done, total, going);
        }
    }
    // The body may not end in a table.
    if (!body.last_child() || std::string_view(body.last_child().name()) == "w:tbl")
        body.append_child("w:p");
    std::ostringstream out;
    for (pugi::xml_node child : body.children()) {
        if (going)
            going(done, total);
        child.print(out, "", pugi::format_raw);
    }
    return out.str();
}

long Document::bodySize() const
{
    long size = 0;
    for (const auto& block : m_impl->blocks) {
        if (const auto* range = std::get_if<TextRange>(&block))
            size += static_cast<long>(range->paragraphs().size());
        else
            size += std::get<std::unique_ptr<Table>>(block)->rowCount();
    }
    return size;
}

void Document::saveAs(const std::filesystem::path& target, const Going& going) const
{
    const long total = bodySize();
    const std::function<void()> check = [&going, total] {
        if (going)
            going(total, total);
    };
    const std::string name = target.filename().string();
    const std::filesystem::path folder = target.parent_path();
    std::error_code ignored;
    const bool lockedByWord = std::filesystem::exists(folder / ("~$" + name), ignored) ||
                              (name.size() > 2 && std::filesystem::exists(folder / ("~$" + name.substr(2)), ignored));
    if (lockedByWord || std::filesystem::exists(folder / (".~lock." + name + "#"), ignored))
        throw DocumentLocked(target);

    pugi::xml_document main;
    const std::string& source = m_impl->parts.at("word/document.xml");
    if (!main.load_buffer(source.data(), source.size(), pugi::parse_default | pugi::parse_ws_pcdata))
        throw DocumentError("The template " + m_impl->templatePath.string() + " has a damaged main part.");
    pugi::xml_node body = main.document_element().child("w:body");
    if (!body)
        throw DocumentError("The template " + m_impl->templatePath.string() + " has no body.");
    // The template's own body content gives way to ours; its section properties stay last.
    pugi::xml_node section = body.child("w:sectPr");
    for (pugi::xml_node child = body.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        if (child != section)
            body.remove_child(child);
        child = next;
    }
    pugi::xml_document fragment;
    const std::string content = "<w:body>" + bodyXml(going) + "</w:body>";
    check();
    fragment.load_buffer(content.data(), content.size(), pugi::parse_default | pugi::parse_ws_pcdata);
    check();
    for (pugi::xml_node child : fragment.document_element().children()) {
        if (section)
            body.insert_copy_before(child, section);
        else
            body.append_copy(child);
    }
    check();
    std::ostringstream out;
    main.save(out, "", pugi::format_raw);
    check();

    Parts parts = m_impl->parts;
    parts["word/document.xml"] = out.str();
    // A document is an output like any other: replaced whole, or written into a device.
    AtomicFile file(target, AtomicFile::Links::Replace);
    file.write(writePackage(parts, going ? check : std::function<void()>()));
    check();  // the last chance to stop: the target is still untouched
    file.commit();
}

} // namespace qln::word
