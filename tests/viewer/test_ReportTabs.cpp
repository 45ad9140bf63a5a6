// The report tabs of the real viewer: the map unit grids over one list, the rating and
// non-technical report buttons and the customer's address boxes, started as a user starts
// the viewer (unlinked) on the bundled rules and sample survey.

#include "MapunitGrid.h"
#include "NonTechReportsTab.h"
#include "ReporterDisplay.h"
#include "ReportsTab.h"
#include "ViewerFixture.h"
#include "../support/ZipPart.h"
#include "JobControls.h"
#include "frmQuillon.h"
#include "ReportJob.h"
#include "Startup.h"
#include "quillon/viewer/UserData.h"
#include "ui_NonTechReportsTab.h"
#include "ui_ReportsTab.h"
#include "ui_frmQuillon.h"

#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <pugixml.hpp>

using namespace qln;
using namespace qln::viewer;

namespace {

// The text of a saved document, paragraphs and line breaks as "\n".
QString documentText(const std::filesystem::path& docx)
{
    const std::string data = test::zipPart(docx, "word/document.xml");
    pugi::xml_document xml;
    xml.load_string(data.c_str());
    std::string text;
    for (const auto& paragraph : xml.select_nodes("//w:p")) {
        for (const auto& run : paragraph.node().select_nodes(".//w:t")) text += run.node().text().get();
        text += "\n";
    }
    return QString::fromStdString(text);
}

std::vector<std::string> column(ado::Recordset rs, const char* name)
{
    std::vector<std::string> values;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) values.push_back(rs.value(name).text());
    return values;
}

} // namespace

class ReportTabsTest : public test::ViewerTest {
    Q_OBJECT

private:
    std::filesystem::path soilsFile() const { return m_install->folder / "soils" / "sample.mdb"; }
    std::filesystem::path tempDocument(const char* name) const
    {
        return m_install->folder / "runtime" / "quillon" / name;
    }

    // Opens the sample survey as choosing it would, and lists the map units given (all).
    void openSurvey(const std::string& condition = "")
    {
        m_form->ResetTelvaConnection("sample.mdb");
        ado::Recordset units = m_session->engine().GetSoilsDataRS(m_session->soilsConnectString(),
                                                            "SELECT mukey,musym FROM mapunit" + condition);
        QCOMPARE(m_session->PopulateMapunitList(units, windowMessages(*m_session, *m_form)), 1);
        m_form->ui().SSTab1->setTabEnabled(2, true);
        m_form->ui().SSTab1->setTabEnabled(3, true);
    }
    MapunitGrid& ratingGrid() { return m_form->reportsTab().grid(); }
    MapunitGrid& nonTechGrid() { return m_form->nonTechReportsTab().grid(); }

    // Ticks the grid row showing the map unit, as a click on its check cell does. Symbols
    // repeat between survey areas.
    void tick(MapunitGrid& grid, const std::string& area, const std::string& symbol, bool on = true)
    {
        auto& model = grid.model();
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.index(row, MapunitListModel::SurveyArea).data().toString().toStdString() == area &&
                model.index(row, MapunitListModel::MapUnit).data().toString().toStdString() == symbol) {
                QVERIFY(model.setData(model.index(row, MapunitListModel::Tick), on ? Qt::Checked : Qt::Unchecked,
                                      Qt::CheckStateRole));
                return;
            }
        }
        QFAIL(("no row " + area + " " + symbol).c_str());
    }
    QStringList shownSymbols(MapunitGrid& grid)
    {
        QStringList symbols;
        for (int row = 0; row < grid.model().rowCount(); ++row)
            symbols << grid.model().index(row, MapunitListModel::MapUnit).data().toString();
        return symbols;
    }
    // Two symbols of each survey area, in the survey's sort order.
    std::vector<std::string> symbolsOf(const std::string& area)
    {
        return column(m_session->engine().GetSoilsDataRS(
                          m_session->soilsConnectString(),
                          "SELECT musym FROM mapunit m JOIN legend l ON m.lkey=l.lkey JOIN "
                          "[SYSTEM - Mapunit Sort Specifications] s ON s.mukey=m.mukey WHERE areasymbol='" +
                              area + "' ORDER BY s.lseq,s.museq LIMIT 2"),
                      "musym");
    }
    // The Options tab's choice of the dwellings interpretation, with nulls as zero when asked.
    void chooseDwellings(bool nullsZero)
    {
        QTreeWidgetItem* item = nullptr;
        for (QTreeWidgetItemIterator it(m_form->ui().tvInterps); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toString() == "INT_DWB") item = *it;
        QVERIFY(item);
        m_form->ui().tvInterps->setCurrentItem(item);
        m_session->reportUserData = [this, nullsZero] {
            RunOptions options;
            options.attribute = "INT_DWB";
            options.nullsZero = nullsZero;
            ado::Recordset attr = m_session->rsAttributes().clone();
            attr.setFilter("NodeKey='INT_DWB'");
            return buildUserData(options, attr, chooseMethod(attributeMethods(m_session->engine(), "INT_DWB"), {}));
        };
    }
    QStringList boxes() const { return m_install->boxes(); }
    // Presses a report button and waits for the report's job to end.
    void press(QPushButton* button)
    {
        button->click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->jobControls().busy(), 30000);
    }
    void writeContact(const std::string& identifier)
    {
        const auto file = m_install->folder / "contact.vcf";
        std::ofstream(file) << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Smith\\, Jo\r\nORG:Hill Farm\r\n"
                            << "X-MESSAGE-CLASS:IPM.Contact.Ambrel Customer\r\nX-ORGANIZATIONAL-ID:" << identifier
                            << "\r\nADR;TYPE=WORK:;;;Ames;IA;50010;USA\r\nEND:VCARD\r\n";
        ::setenv("QUILLON_CONTACT_FILE", file.c_str(), 1);
    }
    void start()
    {
        m_form = Main(*m_session);
        QVERIFY(m_form);
    }

private slots:
    void init()
    {
        ::setenv("QUILLON_NO_OPEN", "1", 1);
        setUpViewer();
        namespace fs = std::filesystem;
        fs::create_directories(m_install->install / "Templates");
        for (const auto& file : fs::directory_iterator(fs::path(QUILLON_BUILD_SHARE) / "templates"))
            fs::copy_file(file.path(), m_install->install / "Templates" / file.path().filename());
        ::setenv("QUILLON_CONTACT_FILE", (m_install->folder / "no-contact.vcf").c_str(), 1);
    }
    void cleanup() { tearDownViewer(); }

    void ticksSurviveSwitchingBetweenTheReportTabsAndANewSurveyClearsThem()
    {
        start();
        openSurvey();
        auto& tabs = *m_form->ui().SSTab1;
        tabs.setCurrentIndex(m_form->FindTabNumber("Reports"));
        const auto first = symbolsOf("VS001");
        tick(ratingGrid(), "VS001", first[1]);
        tabs.setCurrentIndex(m_form->FindTabNumber("Non-Tech Reports"));
        QVERIFY(m_session->nonTechRSs());
        QCOMPARE(column(nonTechGrid().GetSelectedRS(), "musym"), std::vector<std::string>{first[1]});
        m_form->nonTechReportsTab().ui().cmdNTSelectAll->click();
        tabs.setCurrentIndex(m_form->FindTabNumber("Reports"));
        QCOMPARE(ratingGrid().GetSelectedRS().recordCount(), 300L);
        m_form->reportsTab().ui().cmdUnselectAll->click();
        QCOMPARE(nonTechGrid().GetSelectedRS().recordCount(), 0L);

        // Choosing a survey again rebuilds the list: nothing ticked, every row shown.
        tick(ratingGrid(), "VS001", first[0]);
        m_form->reportsTab().ui().cmdRepShowMU->click();
        QCOMPARE(ratingGrid().model().rowCount(), 1);
        openSurvey();
        QVERIFY(!m_session->nonTechRSs());
        QCOMPARE(m_form->nonTechReportsTab().ui().lstCategories->count(), 0);
        QCOMPARE(ratingGrid().model().rowCount(), 300);
        QVERIFY(!m_form->reportsTab().ui().cmdRepShowMU->isChecked());
        QCOMPARE(ratingGrid().GetSelectedRS().recordCount(), 0L);
        QCOMPARE(nonTechGrid().GetSelectedRS().recordCount(), 0L);
        QCOMPARE(ratingGrid().model().index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

        // A list of no map unit says so and empties both grids.
        tick(ratingGrid(), "VS001", first[0]);
        ado::Recordset none = m_session->engine().GetSoilsDataRS(m_session->soilsConnectString(),
                                                                 "SELECT mukey,musym FROM mapunit WHERE 0");
        QCOMPARE(m_session->PopulateMapunitList(none, windowMessages(*m_session, *m_form)), -1);
        QCOMPARE(boxes().filter("There are no map units to list.").size(), 1);
        QCOMPARE(ratingGrid().model().rowCount(), 0);
        QCOMPARE(nonTechGrid().model().rowCount(), 0);
        QCOMPARE(ratingGrid().GetSelectedRS().recordCount(), 0L);
    }

    void selectionFollowsTheGridOrderAfterSortingAndFiltering()
    {
        start();
        openSurvey();
        const auto a = symbolsOf("VS001");
        const auto b = symbolsOf("VS003");
        tick(ratingGrid(), "VS001", a[0]);
        tick(ratingGrid(), "VS001", a[1]);
        tick(ratingGrid(), "VS003", b[0]);
        // Unsorted: the survey's order, first area first.
        QCOMPARE(column(ratingGrid().GetSelectedRS(), "musym"), (std::vector<std::string>{a[0], a[1], b[0]}));

        QTableView* view = m_form->reportsTab().ui().dtSelectMU;
        view->sortByColumn(MapunitListModel::SurveyArea, Qt::DescendingOrder);
        const auto sorted = column(ratingGrid().GetSelectedRS(), "musym");
        QCOMPARE(sorted.front(), b[0]);
        QCOMPARE(sorted.size(), std::size_t{3});
        QCOMPARE(ratingGrid().model().index(0, MapunitListModel::SurveyArea).data().toString(), QString("VS003"));

        // Only the ticked rows, in the grid's order; an untick there reaches the other grid.
        m_form->reportsTab().ui().cmdRepShowMU->click();
        QCOMPARE(m_form->reportsTab().ui().cmdRepShowMU->text(), QString("Show All"));
        QStringList shown = shownSymbols(ratingGrid());
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.first().toStdString(), b[0]);
        tick(ratingGrid(), "VS001", a[0], false);
        QCOMPARE(ratingGrid().model().rowCount(), 3);
        QCOMPARE(column(ratingGrid().GetSelectedRS(), "musym").size(), std::size_t{2});
        QCOMPARE(column(nonTechGrid().GetSelectedRS(), "musym"), (std::vector<std::string>{a[1], b[0]}));
        m_form->reportsTab().ui().cmdRepShowMU->click();
        QCOMPARE(ratingGrid().model().rowCount(), 300);
    }

    void ratingReportRefusesWithoutTicksAndPrintsOnlyTheNullsOption()
    {
        start();
        openSurvey();
        chooseDwellings(true);
        m_form->ui().SSTab1->setCurrentIndex(m_form->FindTabNumber("Reports"));
        m_form->reportsTab().ui().cmdGenerateReport->setEnabled(true);
        press(m_form->reportsTab().ui().cmdGenerateReport);
        QCOMPARE(boxes(),
                 QStringList{"No map units selected. Select one or more map units, and then click Preview Report."});
        QCOMPARE(QString::fromStdString(m_install->seam.shown().back().title), QString("Quillon"));
        QVERIFY(!std::filesystem::exists(tempDocument("QLN_Temporary.docx")));

        const auto a = symbolsOf("VS001");
        const auto b = symbolsOf("VS003");
        tick(ratingGrid(), "VS001", a[0]);
        tick(ratingGrid(), "VS001", a[1]);
        tick(ratingGrid(), "VS003", b[0]);
        press(m_form->reportsTab().ui().cmdGenerateReport);
        QCOMPARE(boxes().size(), 1);
        const QString text = documentText(tempDocument("QLN_Temporary.docx"));
        QVERIFY2(text.contains("Dwellings with Cellars"), qPrintable(QString(text).replace("\n", "|")));
        QVERIFY(text.contains("\n(Set Null to Zero.)\n"));
        QVERIFY(!text.contains("Ignore below"));
        QVERIFY(!text.contains("Top Depth"));
        QVERIFY(!text.contains("Rating :"));
        for (const auto& symbol : {a[0], a[1], b[0]}) QVERIFY(text.contains(QString::fromStdString(symbol)));
        QCOMPARE(text.count("Soil Survey:"), 2);
        // No word processor showed it: the status bar says where it is.
        QCOMPARE(m_form->statusText(), "The report was saved as " +
                                           QString::fromStdString(tempDocument("QLN_Temporary.docx").string()) +
                                           "; no word processor was opened to show it.");
    }

    void folderSelectionAndLockedDocumentAreRefusedWithTheirMessages()
    {
        start();
        openSurvey();
        m_form->ui().tvInterps->setCurrentItem(m_form->ui().tvInterps->topLevelItem(0));
        m_form->reportsTab().ui().cmdSelectAll->click();
        m_form->reportsTab().ui().cmdGenerateReport->setEnabled(true);
        press(m_form->reportsTab().ui().cmdGenerateReport);
        QCOMPARE(boxes(), QStringList{"Select a valid attribute to process."});

        chooseDwellings(false);
        std::filesystem::create_directories(tempDocument(""));
        std::ofstream(tempDocument(".~lock.QLN_Temporary.docx#")) << "someone";
        press(m_form->reportsTab().ui().cmdGenerateReport);
        QCOMPARE(boxes().size(), 2);
        QCOMPARE(boxes().last(),
                 QString("Word Document already open.  Close the Word Document, then click Preview Report button."));
        QCOMPARE(m_install->seam.shown().back().icon, desktop::Icon::Critical);
        QVERIFY(!std::filesystem::exists(tempDocument("QLN_Temporary.docx")));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void cancelledReportMakesNoDocumentAndSaysNothing()
    {
        start();
        openSurvey();
        chooseDwellings(false);
        m_form->reportsTab().ui().cmdSelectAll->click();
        m_form->reportsTab().ui().cmdGenerateReport->setEnabled(true);
        m_form->reportsTab().ui().cmdGenerateReport->click();
        QVERIFY(m_form->jobControls().busy());
        QVERIFY(!m_form->ui().SSTab1->isEnabled());
        m_form->jobControls().cancelButton().click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_form->jobControls().busy(), 30000);
        QVERIFY(!std::filesystem::exists(tempDocument("QLN_Temporary.docx")));
        QCOMPARE(boxes(), QStringList());
        QVERIFY(m_form->ui().SSTab1->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void addressBoxesFollowTheCustomerContact()
    {
        writeContact("12345678901");  // one character short of a customer identifier
        start();
        openSurvey();
        chooseDwellings(false);  // an attribute enables the report options around the boxes
        QVERIFY(!m_form->reportsTab().ui().chkAmbrelAddress->isEnabled());
        QVERIFY(!m_form->nonTechReportsTab().ui().chkCustomerAddress->isEnabled());
        QVERIFY(!m_session->customer());
        m_form.reset();
        m_session = std::make_unique<Session>();

        writeContact("123456789012");
        start();
        openSurvey();
        chooseDwellings(false);
        QVERIFY(m_form->reportsTab().ui().chkAmbrelAddress->isEnabled());
        QVERIFY(m_form->nonTechReportsTab().ui().chkCustomerAddress->isEnabled());
        m_form->reportsTab().ui().chkAmbrelAddress->setChecked(true);
        tick(ratingGrid(), "VS001", symbolsOf("VS001")[0]);
        m_form->reportsTab().ui().cmdGenerateReport->setEnabled(true);
        press(m_form->reportsTab().ui().cmdGenerateReport);
        const QString text = documentText(tempDocument("QLN_Temporary.docx"));
        QVERIFY2(text.startsWith("Hill Farm\nAmes, IA 50010\n\n"), qPrintable(QString(text.left(80)).replace("\n", "|")));
    }

    void nonTechReportNeedsACategoryThenPrintsTheChosenOnes()
    {
        start();
        openSurvey();
        auto& tab = m_form->nonTechReportsTab();
        m_form->ui().SSTab1->setCurrentIndex(m_form->FindTabNumber("Non-Tech Reports"));
        QVERIFY(m_session->nonTechRSs());
        QCOMPARE(tab.ui().lstCategories->count(), 5);  // the sixth category is of another kind of text
        QCOMPARE(tab.ui().lstCategories->selectionMode(), QAbstractItemView::MultiSelection);

        const auto a = symbolsOf("VS001");
        const auto b = symbolsOf("VS003");
        tick(nonTechGrid(), "VS001", a[0]);
        tick(nonTechGrid(), "VS003", b[0]);
        press(tab.ui().cmdNonTechReport);
        QCOMPARE(boxes(), QStringList{"No report category selected. Select one or more report categories, then "
                                      "click Preview Report."});
        QVERIFY(!std::filesystem::exists(tempDocument("QLN_Temporary.docx")));

        for (const char* category : {"Setting", "Land use"})
            tab.ui().lstCategories->findItems(category, Qt::MatchExactly).first()->setSelected(true);
        m_form->nonTechReportsTab().ui().cmdNTUnSelectAll->click();
        press(tab.ui().cmdNonTechReport);
        QCOMPARE(boxes().last(),
                 QString("No map units selected. Select one or more map units, then click Preview Report."));

        tick(nonTechGrid(), "VS001", a[0]);
        tick(nonTechGrid(), "VS003", b[0]);
        press(tab.ui().cmdNonTechReport);
        QCOMPARE(boxes().size(), 2);
        const QString text = documentText(tempDocument("QLN_NonTech_Tmp.docx"));
        QCOMPARE(text.count("Soil Survey Area:"), 2);
        QVERIFY(text.contains("Description Category: Setting"));
        QVERIFY(text.contains("Description Category: Land use"));
        QVERIFY(!text.contains("Description Category: Note"));
        QVERIFY(text.contains(QString::fromStdString("Map Unit: " + a[0])));
        QVERIFY2(m_form->statusText().startsWith(
                     "The report was saved as " + QString::fromStdString(tempDocument("QLN_NonTech_Tmp.docx").string())),
                 qPrintable(m_form->statusText()));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // The lists and categories always belong to the database named: a new opening, failed
    // or not, leaves nothing of the previous one, and a tab already showing is filled again.
    void listsAndCategoriesFollowEveryOpening()
    {
        start();
        auto& tab = m_form->nonTechReportsTab();
        m_form->ui().SSTab1->setCurrentIndex(m_form->FindTabNumber("Non-Tech Reports"));
        QCOMPARE(tab.ui().lstCategories->count(), 5);
        m_form->cmdRESET_Click();
        QCOMPARE(tab.ui().lstCategories->count(), 5);
        QVERIFY(m_session->nonTechRSs());
        QCOMPARE(nonTechGrid().model().rowCount(), 300);

        std::filesystem::copy_file(soilsFile(), soilsFile().parent_path() / "nocomp.mdb");
        test::runSql(soilsFile().parent_path() / "nocomp.mdb", "DROP TABLE component");
        tick(ratingGrid(), "VS001", symbolsOf("VS001")[0]);
        QCOMPARE(m_form->ResetTelvaConnection("nocomp.mdb"), -1);
        QCOMPARE(ratingGrid().model().rowCount(), 0);
        QCOMPARE(nonTechGrid().model().rowCount(), 0);
        QVERIFY(!m_session->mapunitList().isOpen());
        QCOMPARE(tab.ui().lstCategories->count(), 0);
        QVERIFY(!m_session->nonTechRSs());

        // Cancelled while it reads: the same.
        QCOMPARE(m_form->ResetTelvaConnection("sample.mdb"), 1);
        QCOMPARE(ratingGrid().model().rowCount(), 300);
        QCOMPARE(tab.ui().lstCategories->count(), 5);
        QTimer::singleShot(0, [this] { m_form->jobControls().cancel(); });
        QCOMPARE(m_form->ResetTelvaConnection("sample.mdb"), -1);
        QCOMPARE(ratingGrid().model().rowCount(), 0);
        QCOMPARE(tab.ui().lstCategories->count(), 0);
    }

    void processFollowsTheSelectionOnTheReportsTabToo()
    {
        start();
        chooseDwellings(false);
        QVERIFY(m_form->ui().cmdCreateDBFFile->isEnabled());
        m_form->ui().SSTab1->setCurrentIndex(m_form->FindTabNumber("Reports"));
        m_form->ui().tvInterps->setCurrentItem(m_form->ui().tvInterps->topLevelItem(0));
        QVERIFY(!m_form->ui().cmdCreateDBFFile->isEnabled());
        QVERIFY(!m_form->reportsTab().ui().cmdGenerateReport->isEnabled());
        chooseDwellings(false);
        QVERIFY(m_form->ui().cmdCreateDBFFile->isEnabled());
    }

    // Not a check: pictures of both report tabs for the documentation, written to the folder
    // in QUILLON_SCREENSHOT_DIR (tests/e2e/report_tabs_screenshot.sh).
    void screenshotsOfTheReportTabs()
    {
        const QByteArray folder = qgetenv("QUILLON_SCREENSHOT_DIR");
        if (folder.isEmpty()) QSKIP("QUILLON_SCREENSHOT_DIR is not set");
        writeContact("123456789012");
        start();
        openSurvey();
        chooseDwellings(false);
        m_form->resize(1100, 640);
        const auto a = symbolsOf("VS001");
        tick(ratingGrid(), "VS001", a[0]);
        tick(ratingGrid(), "VS001", a[1]);
        tick(ratingGrid(), "VS003", symbolsOf("VS003")[0]);
        m_form->ui().SSTab1->setCurrentIndex(m_form->FindTabNumber("Reports"));
        m_form->reportsTab().ui().cmdGenerateReport->setEnabled(true);
        m_form->reportsTab().ui().chkAmbrelAddress->setChecked(true);
        QVERIFY(m_form->grab().save(QString(folder) + "/viewer-reports.png"));
        m_form->ui().SSTab1->setCurrentIndex(m_form->FindTabNumber("Non-Tech Reports"));
        for (const char* category : {"Setting", "Land use"})
            m_form->nonTechReportsTab().ui().lstCategories->findItems(category, Qt::MatchExactly).first()->setSelected(true);
        QVERIFY(m_form->grab().save(QString(folder) + "/viewer-nontech.png"));
    }
};

QTEST_MAIN(ReportTabsTest)
#include "test_ReportTabs.moc"
