// The About box and the help window over a small HTML book.

#include "../support/TempFolder.h"
#include "quillon/viewer/Session.h"
#include "frmAbout.h"
#include "frmHelp.h"
#include "ui_frmAbout.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include <fstream>

using namespace qln;
using namespace qln::viewer;

namespace {

void writeBook(const std::filesystem::path& folder)
{
    std::ofstream(folder / "index.html")
        << "<html><head><title>Quillon Help</title></head><body><h1>Quillon</h1>"
           "<a href=\"methods.html\">Aggregation methods</a> <a href=\"start.html\">Start-up messages</a>"
           "<a href=\"methods.html#x\">again</a> <a href=\"https://example.org/a.html\">outside</a>"
           "<a href=\"missing.html\">missing</a></body></html>";
    std::ofstream(folder / "methods.html")
        << "<html><head><title>Aggregation methods</title><meta name=\"keywords\" content=\"Dominant Soil, weighted "
           "average\"></head><body>Each map unit gets one rating from its components.</body></html>";
    std::ofstream(folder / "start.html")
        << "<html><head><title>Start-up messages</title><meta name=\"keywords\" content=\"registry\"></head>"
           "<body>Quillon is already running: close the other window.</body></html>";
}

} // namespace

class AboutHelpTest : public QObject {
    Q_OBJECT

private slots:
    void helpBookContentsFollowTheStartPageLinks()
    {
        test::TempFolder folder;
        writeBook(folder.path());
        const HelpBook book = readHelpBook(QString::fromStdString((folder / "index.html").string()));
        QStringList titles;
        for (const auto& entry : book.contents) titles << entry.first;
        QCOMPARE(titles, (QStringList{"Quillon Help", "Aggregation methods", "Start-up messages"}));

        QStringList index;
        for (const auto& entry : book.index()) index << entry.first;
        QCOMPARE(index, (QStringList{"Aggregation methods", "Dominant Soil", "Quillon Help", "registry",
                                     "Start-up messages", "weighted average"}));

        QCOMPARE(book.search("MAP unit").size(), 1);
        QVERIFY(book.search("map unit")[0].endsWith("methods.html"));
        QCOMPARE(book.search("quillon running").size(), 1);
        QVERIFY(book.search("quillon nowhere").isEmpty());
        QVERIFY(book.search("   ").isEmpty());
    }

    void helpWindowOpensOnTheAskedTabAndShowsPages()
    {
        test::TempFolder folder;
        writeBook(folder.path());
        const QString start = QString::fromStdString((folder / "index.html").string());
        frmHelp* help = frmHelp::showBook(start, frmHelp::Index, nullptr);
        QVERIFY(help->isVisible());
        QCOMPARE(help->tabs()->currentIndex(), 1);
        QVERIFY(help->page()->toPlainText().contains("Quillon"));
        QCOMPARE(frmHelp::showBook(start, frmHelp::Search, nullptr), help);
        QCOMPARE(help->tabs()->currentIndex(), 2);

        auto* search = help->findChild<QLineEdit*>("txtSearch");
        auto* results = help->findChild<QListWidget*>("lstSearchResults");
        search->setText("components");
        help->findChild<QPushButton*>("cmdSearch")->click();
        QCOMPARE(results->count(), 1);
        QCOMPARE(results->item(0)->text(), QString("Aggregation methods"));
        emit results->itemClicked(results->item(0));
        QVERIFY(help->page()->toPlainText().contains("one rating from its components"));
        help->close();
    }

    void aboutBoxShowsVersionTitleAndOrganisation()
    {
        Session session;
        frmAbout about(session);
        QVERIFY(QRegularExpression("^Version \\d+\\.\\d+\\.\\d+$").match(about.ui().lblVersion->text()).hasMatch());
        QCOMPARE(about.ui().lblTitle->text(), QString("Ambrel\r\nQuillon"));
        QVERIFY(!about.ui().lblOrganisation->text().isEmpty());
    }
};

QTEST_MAIN(AboutHelpTest)
#include "test_AboutHelp.moc"
