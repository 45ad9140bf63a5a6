#pragma once

// The help topics window over the HTML help book: a contents tab (the links of the book's
// start page, in order), an index tab (the keywords and titles of every page) and a search
// tab (pages holding every word typed), beside the page shown.

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <vector>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;

namespace qln::viewer {

// One page of the book.
struct HelpPage {
    QString file;   // absolute path
    QString title;  // its <title>, else its file name
    QString text;   // its text without markup, for searching
    QStringList keywords;
};

// The book of a start page: its pages, and its contents in the order the start page links them.
struct HelpBook {
    QString startPage;
    std::vector<HelpPage> pages;
    std::vector<std::pair<QString, QString>> contents;  // title, file
    // Index entries (keyword or title) with the page they lead to, sorted without case.
    std::vector<std::pair<QString, QString>> index() const;
    // Files of the pages holding every word of the query, any letter case; none for an empty query.
    QStringList search(const QString& query) const;
};

HelpBook readHelpBook(const QString& startPage);

class frmHelp : public QWidget {
    Q_OBJECT
public:
    enum Tab { Contents = 0, Index = 1, Search = 2 };

    explicit frmHelp(const QString& startPage, QWidget* parent = nullptr);

    // Opens (or raises) the process's help window on the book of startPage, on that tab.
    static frmHelp* showBook(const QString& startPage, Tab tab, QWidget* owner);

    void setTab(Tab tab);
    QTabWidget* tabs() const { return m_tabs; }
    QTextBrowser* page() const { return m_page; }

private:
    void open(const QString& file);
    void runSearch();

    HelpBook m_book;
    QTabWidget* m_tabs;
    QTreeWidget* m_contents;
    QLineEdit* m_indexFilter;
    QListWidget* m_index;
    QLineEdit* m_searchText;
    QListWidget* m_results;
    QTextBrowser* m_page;
};

} // namespace qln::viewer
