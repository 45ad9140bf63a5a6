#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qln::word {

// A document that cannot be written because another program holds it open: a lock file
// of LibreOffice (".~lock.NAME#") or Word ("~$NAME") lies beside it.
class DocumentLocked : public std::runtime_error {
public:
    explicit DocumentLocked(const std::filesystem::path& path);
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Any other failure to read a template or write a document; the text names the file.
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The character formatting of typed text; sizes in points.
struct Font {
    double size = 11;
    bool bold = false;
    bool italic = false;
};

// A piece of one paragraph: text in one format, or a symbol character of a symbol font.
struct Run {
    std::string text;
    Font font;
    std::string symbolFont;  // not empty for a symbol
    int symbolChar = 0;      // the character code in that font
};

struct Paragraph {
    std::vector<Run> runs;
};

// Text typed in order: the font applies to what is typed next; CR LF, CR or LF start a
// new paragraph, as the Enter key does.
class TextRange {
public:
    TextRange();
    Font& font() { return m_font; }
    const Font& font() const { return m_font; }
    void typeText(std::string_view text);
    // A character of a symbol font (the bullet is 183 of "Symbol").
    void insertSymbol(int characterNumber, std::string fontName);
    const std::vector<Paragraph>& paragraphs() const { return m_paragraphs; }
    // The typed text with paragraphs joined by "\n" (symbols left out).
    std::string text() const;

protected:
    std::vector<Paragraph> m_paragraphs;
    Font m_font;
};

class Cell : public TextRange {};

// A table of fixed column widths; rows and columns count from 1 as in the automation model.
class Table {
public:
    Table(int rows, int columns);
    int rowCount() const { return static_cast<int>(m_cells.size()); }
    int columnCount() const { return m_columns; }
    Cell& cell(int row, int column);
    const Cell& cell(int row, int column) const;
    void addRow();
    // Font for every cell of the table, or of one row, for what is typed next.
    void setFontSize(double points);
    void setRowFont(int row, double points, bool bold);
    void setColumnWidth(int column, double points);
    double columnWidth(int column) const;
    // The first row repeats on every page as the table's header.
    void setHeadingRow(bool heading) { m_heading = heading; }
    bool headingRow() const { return m_heading; }

private:
    int m_columns;
    std::vector<std::vector<Cell>> m_cells;
    std::vector<double> m_widths;
    bool m_heading = false;
};

// A document made from a template: the template's styles, page set-up, header and footer
// are kept and the body is what the selection and the tables put there.
class Document {
public:
    // Reads the template (.dotx); DocumentError names the file when it is missing or broken.
    explicit Document(std::filesystem::path templatePath);
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // The insertion point, always at the end of the body.
    TextRange& selection();
    // A table at the end of the body; typing afterwards continues below it.
    Table& addTable(int rows, int columns);

    // Writes the .docx: a new file in the target's folder, renamed over the target, so a
    // failure leaves the previous file whole and a link planted at the name is replaced,
    // never followed; a device or FIFO is written in place. DocumentLocked when a lock
    // file of an editor lies beside the target; qln::OutputError when it cannot be written.
    // `going` is called with the paragraphs and table rows of the body written so far and
    // their number, between the steps of the writing and while the package is packed (all
    // written by then); what it throws ends the writing with the target untouched.
    using Going = std::function<void(long done, long total)>;
    void saveAs(const std::filesystem::path& target, const Going& going = {}) const;

    // The body as WordprocessingML (the children of w:body before its section properties);
    // `going` as saveAs takes it.
    std::string bodyXml(const Going& going = {}) const;

private:
    // The paragraphs and table rows of the body.
    long bodySize() const;
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qln::word
