// The soils database choice, the attribute tree and the option panel of the real viewer,
// started in this process on the bundled rules and the sample soils database.

#include "DescriptionTab.h"
#include "OptionPanel.h"
#include "OptionsTab.h"
#include "ReporterDisplay.h"
#include "ViewerFixture.h"
#include "JobControls.h"
#include "frmQuillon.h"
#include "Startup.h"
#include "quillon/desktop/FileDialog.h"
#include "ui_DescriptionTab.h"
#include "ui_OptionsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>
#include <QClipboard>
#include <QTimer>
#include <QtTest>

using namespace qln;
using namespace qln::viewer;

namespace {

QTreeWidgetItem* findNode(QTreeWidget* tree, const QString& key, QTreeWidgetItem* parent = nullptr)
{
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = parent ? parent->child(i) : tree->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toString() == key) return item;
        if (QTreeWidgetItem* found = findNode(tree, key, item)) return found;
    }
    return nullptr;
}

// The message of the OptionError the panel raises, or "<accepted>".
QString refusal(const OptionPanel& panel)
{
    try {
        panel.runOptions();
    } catch (const OptionError& error) {
        return QString::fromStdString(error.what());
    }
    return "<accepted>";
}

} // namespace

class OptionPanelTest : public test::ViewerTest {
    Q_OBJECT

private:
    std::filesystem::path soils() const { return m_install->folder / "soils"; }
    Ui::OptionsTab& options() { return m_form->optionsTab().ui(); }
    void start()
    {
        m_form = Main(*m_session);
        QVERIFY2(m_form, qPrintable(m_install->boxes().join("\n")));
    }
    void select(const QString& key)
    {
        QTreeWidgetItem* node = findNode(m_form->ui().tvInterps, key);
        QVERIFY2(node, qPrintable(key));
        m_form->ui().tvInterps->setCurrentItem(node);
    }
    void chooseInList(QComboBox* box, const QString& text)
    {
        const int index = box->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    // A copy of the sample soils database without one table.
    void copySampleWithout(const std::string& name, const std::string& table)
    {
        std::filesystem::copy_file(soils() / "sample.mdb", soils() / name);
        test::runSql(soils() / name, "DROP TABLE " + table);
    }

private slots:
    void init() { setUpViewer(); }
    void cleanup() { tearDownViewer(); }

    void rememberedDatabaseIsOpenedAtStartUp()
    {
        start();
        QVERIFY(m_install->boxes().isEmpty());
        QCOMPARE(options().cboSSAList->currentText(), QString("sample.mdb"));
        QVERIFY(m_session->soilsConnection().isOpen());
        QCOMPARE(m_session->soilsDataFile(), std::string("sample.mdb"));
        const QString file = QString::fromStdString((soils() / "sample.mdb").string());
        QVERIFY(QString::fromStdString(m_session->soilsConnectString()).endsWith("DBQ=" + file));
        QVERIFY(m_session->rsMapunitAreas().recordCount() > 0);
        QVERIFY(m_session->rsComponents().recordCount() > 0);
        QCOMPARE(options().cboBegMonth->count(), 12);
        QCOMPARE(options().cboEndMonth->currentIndex(), 11);
        QVERIFY(m_form->ui().tvInterps->isEnabled());
        // The first opening keeps the results database start-up has just reset.
        QVERIFY(m_session->state() == SessionState::Working);
    }

    void browsedFileIsRefusedByContentOrListedAndOpened()
    {
        std::ofstream(soils() / "fake.mdb") << "not a database";
        start();
        desktop::FileDialogSeam dialogs;
        dialogs.choose(soils() / "fake.mdb");
        options().cmdSelectFolder->click();
        QCOMPARE(m_install->boxes(), QStringList{QString::fromStdString((soils() / "fake.mdb").string()) +
                                                 " is not a valid KORVAL Soils database."});
        QCOMPARE(options().cboSSAList->currentText(), QString("sample.mdb"));
        QCOMPARE(m_session->soilsDataFile(), std::string("sample.mdb"));
        QVERIFY(m_session->soilsConnection().isOpen());
        // The text file is not offered in the list either.
        QCOMPARE(options().cboSSAList->findText("fake.mdb"), -1);
        QVERIFY(dialogs.requests().at(0).offers);
        QVERIFY(!dialogs.requests().at(0).offers(soils() / "fake.mdb"));

        // A sound file in another folder takes the list's place and is opened.
        std::filesystem::create_directories(m_install->folder / "other");
        std::filesystem::copy_file(soils() / "sample.mdb", m_install->folder / "other" / "second.mdb");
        dialogs.choose(m_install->folder / "other" / "second.mdb");
        options().cmdSelectFolder->click();
        QCOMPARE(m_install->boxes().size(), 1);
        QCOMPARE(options().cboSSAList->currentText(), QString("second.mdb"));
        QCOMPARE(m_session->soilsDataFile(), std::string("second.mdb"));
    }

    void layoutWithoutTheDomainMasterIsRefusedFromTheList()
    {
        copySampleWithout("old.mdb", "mdstatdommas");
        start();
        chooseInList(options().cboSSAList, "old.mdb");
        QCOMPARE(m_install->boxes(),
                 QStringList{"The selected soils database has the wrong format for this version of the Quillon. "
                             "Contact your soils staff to obtain soil data in KORVAL Version 2 format."});
        QVERIFY(options().cboSSAList->currentText().isEmpty());
        QVERIFY(!m_form->ui().tvInterps->isEnabled());
        QVERIFY(!m_form->ui().SSTab1->isTabEnabled(2) && !m_form->ui().SSTab1->isTabEnabled(3));
        QVERIFY(!m_form->ui().mnuFileReport->isEnabled());
    }

    void reselectingTheOpenDatabaseThroughTheBrowseButtonValidatesItAgain()
    {
        start();
        // The open file loses a key table behind the viewer's back.
        test::runSql(soils() / "sample.mdb", "DROP TABLE mdstatdommas");
        desktop::FileDialogSeam dialogs;
        dialogs.choose(soils() / "sample.mdb");
        m_form->ui().mnuChangeDatabase->trigger();
        QCOMPARE(dialogs.requests().size(), std::size_t{1});
        QCOMPARE(m_install->boxes(), QStringList{QString::fromStdString((soils() / "sample.mdb").string()) +
                                                 " is not a valid KORVAL Soils database."});
        QVERIFY(options().cboSSAList->currentText().isEmpty());
    }

    // The database is read on a worker while the event loop turns; a failure names the file
    // and gives the controls back.
    void openingKeepsTheWindowTurningAndAFailureNamesTheFile()
    {
        start();
        copySampleWithout("nocomp.mdb", "component");
        bool turnedWhileOpening = false;
        QTimer::singleShot(0, [&] { turnedWhileOpening = m_form->jobControls().busy(); });
        QCOMPARE(m_form->ResetTelvaConnection("sample.mdb"), 1);
        QVERIFY(turnedWhileOpening);
        QVERIFY(!m_form->jobControls().busy());
        QVERIFY(m_session->soilsConnection().isOpen());
        QVERIFY(m_session->mapunitList().recordCount() > 0);
        QVERIFY(m_form->ui().tvInterps->isEnabled());

        QCOMPARE(m_form->ResetTelvaConnection("nocomp.mdb"), -1);
        QVERIFY(!m_form->jobControls().busy());
        QVERIFY(m_form->ui().tvInterps->isEnabled());
        // The session's message (its wording is checked there) reaches one box.
        QCOMPARE(m_install->boxes().size(), 1);
        QVERIFY(m_install->boxes().last().startsWith("Unable to read the map units of the soils database nocomp.mdb."));
        QVERIFY(!m_session->rsComponents().isOpen());
    }

    void attributeShowsItsFramesAndAFolderHidesThem()
    {
        start();
        select("PHY_AWC");
        QVERIFY(!options().frmSoilLayer->isHidden());
        QVERIFY(!options().frmCompOptions->isHidden());
        QVERIFY(options().frmSeason->isHidden());
        QVERIFY(options().frmRate->isHidden());
        QVERIFY(options().cboOptionList->isHidden());
        QVERIFY(!options().cboInterpOptions->isHidden());
        QCOMPARE(options().cboInterpOptions->currentText(), QString("Weighted Average"));
        QCOMPARE(options().txtDBFColumn->text(), QString("AWC_WA"));
        QVERIFY(m_form->optionPanel().reportReady());
        QVERIFY(m_form->descriptionTab().ui().txtDescription->toPlainText().startsWith("Available water capacity"));
        QVERIFY(m_form->ui().cmdCreateDBFFile->isEnabled() || m_form->ui().cmdCreateDBFFile->isHidden());

        const auto inputs = m_form->optionPanel().runOptions();
        QCOMPARE(inputs.attribute.value("NodeKey").text(), std::string("PHY_AWC"));
        QCOMPARE(inputs.options.method.value_or(""), std::string("0"));
        QVERIFY(inputs.options.top && inputs.options.bottom);
        QVERIFY(!inputs.options.beginMonth && !inputs.options.list);
        QCOMPARE(inputs.options.rate, 0L);

        // Collapsing the folder makes it the selection: its options replace the attribute's.
        QTreeWidgetItem* folder = findNode(m_form->ui().tvInterps, "PHYS");
        folder->setExpanded(true);
        folder->setExpanded(false);
        QCOMPARE(m_form->ui().tvInterps->currentItem(), folder);
        for (QWidget* w : {static_cast<QWidget*>(options().frmSoilLayer), static_cast<QWidget*>(options().frmCompOptions),
                           static_cast<QWidget*>(options().cboInterpOptions), static_cast<QWidget*>(options().txtDBFColumn)})
            QVERIFY(w->isHidden());
        QVERIFY(!m_form->optionPanel().reportReady());
        QVERIFY(m_form->descriptionTab().ui().txtDescription->toPlainText().startsWith("Properties of the soil layers"));
        QVERIFY(refusal(m_form->optionPanel()).contains("folder"));
    }

    void optionListComesFromTheSoilsDatabase()
    {
        start();
        select("YLD_NIRR");
        QVERIFY2(m_install->boxes().isEmpty(), qPrintable(m_install->boxes().join("\n")));
        QVERIFY(!options().cboOptionList->isHidden());
        QVERIFY(options().cboOptionList->count() > 0);
        QCOMPARE(options().lblOptionList->text(), QString("Crop Name:"));
        const auto inputs = m_form->optionPanel().runOptions();
        QCOMPARE(QString::fromStdString(inputs.options.list.value_or("")),
                 "Crop Name=" + options().cboOptionList->itemText(0));
    }

    void depthBoxesTakeDigitsOnlyAndAtMost32767()
    {
        start();
        select("PHY_AWC");
        QLineEdit* top = options().txtMinDepth;
        QLineEdit* bottom = options().txtMaxDepth;
        top->clear();
        QTest::keyClicks(top, "4x0-000");
        QCOMPARE(top->text(), QString("40000"));
        QTest::keyClick(top, Qt::Key_Return);
        QCOMPARE(top->text(), QString("32767"));
        // The change is said at the boxes until they are typed into again.
        QVERIFY(!options().lblDepthNote->isHidden());
        QCOMPARE(options().lblDepthNote->text(),
                 QString("The depth 40000 cm is above the largest depth, 32767 cm: 32767 is used."));

        QTest::keyClicks(bottom, "5");
        QVERIFY(options().lblDepthNote->isHidden());
        bottom->clear();
        QApplication::clipboard()->setText("99999");
        bottom->paste();
        QCOMPARE(bottom->text(), QString("99999"));
        // Not yet left: the run refuses the value rather than taking it.
        QVERIFY(refusal(m_form->optionPanel()).contains("99999"));
        QTest::keyClick(bottom, Qt::Key_Return);
        QCOMPARE(bottom->text(), QString("32767"));
        QVERIFY(options().lblDepthNote->text().startsWith("The depth 99999 cm"));
        QApplication::clipboard()->setText("12ab");
        bottom->clear();
        bottom->paste();
        QCOMPARE(bottom->text(), QString());
        QTest::keyClick(bottom, Qt::Key_Return);
        QCOMPARE(bottom->text(), QString("0"));

        top->setText("50");
        bottom->setText("20");
        QVERIFY(refusal(m_form->optionPanel()).contains("top depth 50 is below the bottom depth 20"));
        bottom->setText("50");
        QCOMPARE(refusal(m_form->optionPanel()), QString("<accepted>"));
    }

    void percentBoxIsUsableOnlyWhileTickedAndTakesWhatIsTyped()
    {
        start();
        select("PHY_AWC");
        QLineEdit* percent = options().txtIgnorePct;
        options().chkIgnorePct->setChecked(false);
        percent->clear();
        QVERIFY(!percent->isEnabled());
        QTest::keyClicks(percent, "7");
        QCOMPARE(percent->text(), QString());
        options().chkIgnorePct->setChecked(true);
        QVERIFY(percent->isEnabled());
        QCOMPARE(percent->text(), QString("0"));
        // Clicked into and typed, as a user does: the "0" of the tick gives way to the digits.
        QTest::mouseClick(percent, Qt::LeftButton);
        QTest::keyClicks(percent, "15");
        QCOMPARE(percent->text(), QString("15"));
        QCOMPARE(m_form->optionPanel().runOptions().options.ignoreBelow.value_or(-1), 15L);
        percent->clear();
        QTest::keyClicks(percent, "2a5");
        QCOMPARE(percent->text(), QString("25"));
        QCOMPARE(m_form->optionPanel().runOptions().options.ignoreBelow.value_or(-1), 25L);
        // Unticked again, what is in the box is kept but not used.
        options().chkIgnorePct->setChecked(false);
        QVERIFY(!percent->isEnabled());
        QVERIFY(!m_form->optionPanel().runOptions().options.ignoreBelow);
    }

    void anotherMethodPutsItsInitialsAtTheEndOfTheColumnName()
    {
        start();
        select("PHY_AWC");
        chooseInList(options().cboInterpOptions, "Dominant Soil");
        QCOMPARE(options().txtDBFColumn->text(), QString("AWC_DS"));
        QCOMPARE(m_form->optionPanel().methodCode(), 3L);
        options().txtDBFColumn->setText("WA");
        chooseInList(options().cboInterpOptions, "Most Limiting");
        QCOMPARE(options().txtDBFColumn->text(), QString("ML"));
        QCOMPARE(m_form->optionPanel().outputColumn(), std::string("ML"));
        // The column box takes letters, digits and _ only.
        options().txtDBFColumn->clear();
        QTest::keyClicks(options().txtDBFColumn, "a-b c_1");
        QCOMPARE(options().txtDBFColumn->text(), QString("abc_1"));
        QCOMPARE(m_form->optionPanel().outputColumn(), std::string("abc_1"));
    }
};

QTEST_MAIN(OptionPanelTest)
#include "test_OptionPanel.moc"
