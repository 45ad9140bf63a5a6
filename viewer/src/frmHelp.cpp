#include "frmHelp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace qln::viewer {

namespace {

QString readText(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(in.readAll());
}

HelpPage readPage(const QString& file)
{
    HelpPage page;
    page.file = file;
    const QString html = readText(file);
    static const QRegularExpression title("<title>(.*?)</title>",
                                          QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression keywords("<meta\\s+name=\"keywords\"\\s+content=\"([^\"]*)\"",
                                             QRegularExpression::CaseInsensitiveOption);
    const auto t = title.match(html);
    page.title = t.hasMatch() ? QTextDocumentFragment::fromHtml(t.captured(1)).toPlainText().simplified()
                              : QFileInfo(file).fileName();
    const auto k = keywords.match(html);
    if (k.hasMatch()) {
        for (const QString& word : k.captured(1).split(',', Qt::SkipEmptyParts)) page.keywords << word.trimmed();
    }
    page.text = QTextDocumentFragment::fromHtml(html).toPlainText();
    return page;
}

constexpr int kFileRole = Qt::UserRole;

} // namespace

HelpBook readHelpBook(const QString& startPage)
{
    HelpBook book;
    book.startPage = QFileInfo(startPage).absoluteFilePath();
    const QDir folder = QFileInfo(startPage).absoluteDir();
    for (const QString& name : folder.entryList({"*.html", "*.htm"}, QDir::Files, QDir::Name))
        book.pages.push_back(readPage(folder.absoluteFilePath(name)));

    book.contents.emplace_back(QFileInfo(book.startPage).exists() ? readPage(book.startPage).title : QString("Help"),
                               book.startPage);
    static const QRegularExpression link("<a\\s+href=\"([^\"#:]+\\.html?)\"[^>]*>(.*?)</a>",
                                         QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    for (auto it = link.globalMatch(readText(book.startPage)); it.hasNext();) {
        const auto m = it.next();
        const QString file = folder.absoluteFilePath(m.captured(1));
        const bool known = std::any_of(book.contents.begin(), book.contents.end(),
                                       [&](const auto& entry) { return entry.second == file; });
        if (!known && QFileInfo(file).isFile())
            book.contents.emplace_back(QTextDocumentFragment::fromHtml(m.captured(2)).toPlainText().simplified(), file);
    }
    return book;
}

std::vector<std::pair<QString, QString>> HelpBook::index() const
{
    std::vector<std::pair<QString, QString>> entries;
    for (const HelpPage& page : pages) {
        entries.emplace_back(page.title, page.file);
        for (const QString& word : page.keywords) entries.emplace_back(word, page.file);
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        const int order = a.first.compare(b.first, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.second < b.second;
    });
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

QStringList HelpBook::search(const QString& query) const
{
    const QStringList words = query.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    QStringList files;
    if (words.isEmpty()) return files;
    for (const HelpPage& page : pages) {
        const bool all = std::all_of(words.begin(), words.end(), [&](const QString& word) {
            return page.text.contains(word, Qt::CaseInsensitive) || page.title.contains(word, Qt::CaseInsensitive);
        });
        if (all) files << page.file;
    }
    return files;
}

frmHelp::frmHelp(const QString& startPage, QWidget* parent)
    : QWidget(parent, Qt::Window), m_book(readHelpBook(startPage))
{
    setObjectName("frmHelp");
    setWindowTitle("Quillon Help");
    auto* splitter = new QSplitter(this);
    m_tabs = new QTabWidget(splitter);
    m_tabs->setObjectName("tabHelp");

    m_contents = new QTreeWidget;
    m_contents->setObjectName("tvContents");
    m_contents->setHeaderHidden(true);
    for (const auto& [title, file] : m_book.contents) {
        auto* item = new QTreeWidgetItem(m_contents, {title});
        item->setData(0, kFileRole, file);
    }
    m_tabs->addTab(m_contents, "Contents");

    auto* indexTab = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexTab);
    m_indexFilter = new QLineEdit;
    m_indexFilter->setObjectName("txtIndex");
    m_indexFilter->setPlaceholderText("Type the word to find");
    m_index = new QListWidget;
    m_index->setObjectName("lstIndex");
    for (const auto& [entry, file] : m_book.index()) {
        auto* item = new QListWidgetItem(entry, m_index);
        item->setData(kFileRole, file);
    }
    indexLayout->addWidget(m_indexFilter);
    indexLayout->addWidget(m_index);
    m_tabs->addTab(indexTab, "Index");

    auto* searchTab = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchTab);
    auto* searchRow = new QHBoxLayout;
    m_searchText = new QLineEdit;
    m_searchText->setObjectName("txtSearch");
    auto* searchButton = new QPushButton("List Topics");
    searchButton->setObjectName("cmdSearch");
    searchRow->addWidget(m_searchText);
    searchRow->addWidget(searchButton);
    m_results = new QListWidget;
    m_results->setObjectName("lstSearchResults");
    searchLayout->addLayout(searchRow);
    searchLayout->addWidget(m_results);
    m_tabs->addTab(searchTab, "Search");

    m_page = new QTextBrowser(splitter);
    m_page->setObjectName("txtHelpPage");
    m_page->setOpenExternalLinks(true);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(900, 600);

    connect(m_contents, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { open(item->data(0, kFileRole).toString()); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { open(item->data(0, kFileRole).toString()); });
    connect(m_index, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { open(item->data(kFileRole).toString()); });
    connect(m_index, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { open(item->data(kFileRole).toString()); });
    connect(m_indexFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        for (int i = 0; i < m_index->count(); ++i) {
            if (m_index->item(i)->text().startsWith(text, Qt::CaseInsensitive)) {
                m_index->setCurrentRow(i);
                m_index->scrollToItem(m_index->item(i));
                break;
            }
        }
    });
    connect(searchButton, &QPushButton::clicked, this, &frmHelp::runSearch);
    connect(m_searchText, &QLineEdit::returnPressed, this, &frmHelp::runSearch);
    connect(m_results, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { open(item->data(kFileRole).toString()); });
    connect(m_results, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { open(item->data(kFileRole).toString()); });

    open(m_book.startPage);
}

void frmHelp::open(const QString& file)
{
    m_page->setSource(QUrl::fromLocalFile(file));
}

void frmHelp::runSearch()
{
    m_results->clear();
    const QStringList files = m_book.search(m_searchText->text());
    for (const QString& file : files) {
        const auto page = std::find_if(m_book.pages.begin(), m_book.pages.end(), [&](const HelpPage& p) { return p.file == file; });
        auto* item = new QListWidgetItem(page->title, m_results);
        item->setData(kFileRole, file);
    }
    if (files.isEmpty()) new QListWidgetItem("No topics found.", m_results);
}

void frmHelp::setTab(Tab tab)
{
    m_tabs->setCurrentIndex(static_cast<int>(tab));
}

frmHelp* frmHelp::showBook(const QString& startPage, Tab tab, QWidget* owner)
{
    static QPointer<frmHelp> window;
    if (!window) {
        window = new frmHelp(startPage, owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->setTab(tab);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace qln::viewer
