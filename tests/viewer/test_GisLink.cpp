// The viewer's side of the GIS link: command lines, exact commands and titles, the
// handshake through the settings key, and the GIS's commands to the window.
#include "LinkFakes.h"

#include "quillon/ado/Types.h"
#include "quillon/dde/Dde.h"
#include "quillon/viewer/link/GisLink.h"
#include "quillon/viewer/link/LinkTexts.h"

#include "../support/DdeFolder.h"
#include "../support/EventLoop.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

using namespace qln::viewer::link;
using qln::test::FakeGenUtils;
using qln::test::FakeReporter;
using qln::test::FakeWindow;
using namespace std::chrono_literals;
using qln::test::spin;
using qln::test::waitFor;

namespace {

class GisLinkTest : public ::testing::Test {
protected:
    GisLinkTest()
    {
        qln::test::coreApp();
        qln::test::usePrivateDdeFolder(m_temp);
        std::filesystem::create_directories(m_temp / "soils dir");
        std::ofstream(m_temp / "soils dir" / "vs_soils.dbf") << "x";
    }

    std::string folder() const { return (m_temp / "soils dir").string(); }

    qln::test::TempFolder m_temp;
    FakeWindow m_window;
    FakeReporter m_reporter;
    FakeGenUtils m_genutils;
};

// rsAttributes with one attribute row.
qln::ado::Recordset attributes(bool optionList, bool useAvl)
{
    using namespace qln::ado;
    Recordset rs;
    rs.appendField("NodeKey", adVarChar, 50);
    rs.appendField("ThemeName", adVarChar, 100);
    rs.appendField("OptionList", adBoolean);
    rs.appendField("UseAVLFile", adBoolean);
    rs.appendField("AVLFileName", adVarChar, 100);
    rs.open();
    rs.addNew();
    rs.setValue("NodeKey", "A12");
    rs.setValue("ThemeName", "Drainage \"Class\" | wet");
    rs.setValue("OptionList", optionList);
    rs.setValue("UseAVLFile", useAvl);
    rs.setValue("AVLFileName", "drainage_class.avl");
    rs.update();
    return rs;
}

} // namespace

TEST_F(GisLinkTest, CommandLineCases)
{
    GisLink link(m_window, m_reporter, m_genutils);

    EXPECT_EQ(link.Initialize_DDE_Connection("   "), 1);
    EXPECT_FALSE(link.ArcViewLinked()) << "blanks: stand-alone";
    EXPECT_TRUE(m_reporter.reports.empty());

    EXPECT_EQ(link.Initialize_DDE_Connection("\"" + folder() + "|vs_soils.dbf\""), 1);
    EXPECT_TRUE(link.ArcViewLinked());
    EXPECT_EQ(link.ShapeDirectory(), folder());
    EXPECT_EQ(link.AttributeFileName(), "vs_soils");

    // A shell took the quotes away: nothing of the folder or the name is lost.
    EXPECT_EQ(link.Initialize_DDE_Connection(folder() + "|vs_soils.dbf"), 1);
    EXPECT_TRUE(link.ArcViewLinked());
    EXPECT_EQ(link.ShapeDirectory(), folder());
    EXPECT_EQ(link.AttributeFileName(), "vs_soils");

    EXPECT_EQ(link.Initialize_DDE_Connection("\"" + folder() + "|vs_soils.dbf|extra\""), -1);
    EXPECT_FALSE(link.ArcViewLinked()) << "three parts leave the viewer unlinked";
    ASSERT_EQ(m_reporter.reports.size(), 1u);
    EXPECT_EQ(m_reporter.reports[0].message, 1454);
    EXPECT_EQ(m_reporter.reports[0].type, qln::reporting::gmrERR);
    EXPECT_EQ(m_reporter.reports[0].dest, qln::reporting::gmrDISP);

    EXPECT_EQ(link.Initialize_DDE_Connection("\"" + folder() + "\""), -1) << "one part";
    EXPECT_EQ(m_reporter.reports.back().message, 1454);

    EXPECT_EQ(link.Initialize_DDE_Connection("\"" + folder() + "|missing.dbf\""), -1);
    EXPECT_FALSE(link.ArcViewLinked());
    ASSERT_EQ(m_reporter.reports.size(), 3u);
    EXPECT_EQ(m_reporter.reports.back().message, 602);
    EXPECT_EQ(m_reporter.reports.back().inserts, std::vector<std::string> {folder() + "/missing.dbf"});
}

TEST(LinkTexts, ExactCommandsAndTitles)
{
    EXPECT_EQ(CleanupCommand(), "av.run(\"Quillon.InterpsCleanup\", \"\" )");
    EXPECT_EQ(DisplayCommand(DisplayArgument("drclass", "Drainage Class - Dominant Soil", false, "/opt/legends",
                                             "drainage_class.avl")),
              "av.run(\"Quillon.DisplayInterps\", \"drclass|Drainage Class - Dominant Soil|DYNAMIC\" )");
    EXPECT_EQ(DisplayArgument("ph", "pH", true, "/opt/q/legends", "ph.avl"), "ph|pH|/opt/q/legends/ph.avl");

    EXPECT_EQ(ThemeTitle("Drainage Class", "", false, "ignored"), "Drainage Class");
    EXPECT_EQ(ThemeTitle("Drainage Class", "Dominant Soil", false, "ignored"), "Drainage Class - Dominant Soil");
    EXPECT_EQ(ThemeTitle("Crop Yield", "Weighted Average", true, "Corn"), "Crop Yield - Weighted Average(Corn)");
    EXPECT_EQ(ThemeTitle("Crop Yield", "", true, ""), "Crop Yield()");
}

TEST_F(GisLinkTest, RefreshSendsTheDisplayCommandAndReportsARefusal)
{
    std::vector<std::string> received;
    qln::dde::Server gis("ArcView", "System", [&](const std::string& c) {
        received.push_back(c);
        return c.find("missing_col") != std::string::npos ? qln::dde::Reply::refuse("no column missing_col in MU_Data")
                                                           : qln::dde::Reply::ack();
    });
    std::atomic<bool> stop {false};
    std::thread serving([&] {
        while (!stop)
            gis.serveFor(20ms);
    });

    GisLink link(m_window, m_reporter, m_genutils);
    ASSERT_EQ(link.Initialize_DDE_Connection("\"" + folder() + "|vs_soils.dbf\""), 1);
    ASSERT_EQ(link.Open_DDE_Connection(), 1);

    auto rs = attributes(true, false);
    EXPECT_EQ(link.Refresh_DDE_Data(rs, {"A12", "Dominant Soil", "Corn", "drclass"}, "/opt/legends"), 1);
    EXPECT_EQ(link.CurrentThemeTitle(), "Drainage \"Class\" | wet - Dominant Soil(Corn)");

    auto rsAvl = attributes(false, true);
    EXPECT_EQ(link.Refresh_DDE_Data(rsAvl, {"A12", "", "", "missing_col"}, "/opt/legends"), 1);
    EXPECT_EQ(link.Reset_DDE_Data(), 1);
    ASSERT_TRUE(waitFor([&] { return link.pendingCommands() == 0; }));
    stop = true;
    serving.join();

    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0], "av.run(\"Quillon.DisplayInterps\", "
                           "\"drclass|Drainage \"Class\" | wet - Dominant Soil(Corn)|DYNAMIC\" )");
    EXPECT_EQ(received[1], "av.run(\"Quillon.DisplayInterps\", "
                           "\"missing_col|Drainage \"Class\" | wet|/opt/legends/drainage_class.avl\" )");
    EXPECT_EQ(received[2], "av.run(\"Quillon.InterpsCleanup\", \"\" )");
    ASSERT_EQ(m_reporter.reports.size(), 1u) << "the refusal reaches the user";
    EXPECT_EQ(m_reporter.reports[0].message, 1);
    EXPECT_NE(m_reporter.reports[0].inserts.at(0).find("no column missing_col in MU_Data"), std::string::npos);

    // An attribute that is not in the rules: message 1453 with its key, nothing sent.
    EXPECT_EQ(link.Refresh_DDE_Data(rs, {"ZZ'9", "", "", "x"}, "/opt/legends"), -1);
    EXPECT_EQ(m_reporter.reports.back().message, 1453);
    EXPECT_EQ(m_reporter.reports.back().inserts, std::vector<std::string> {"ZZ'9"});
    EXPECT_EQ(link.pendingCommands(), 0);
}

TEST_F(GisLinkTest, OpeningWithoutTheGisFailsClearlyAndUnlinkedSendsNothing)
{
    GisLink link(m_window, m_reporter, m_genutils);
    EXPECT_EQ(link.Open_DDE_Connection(), -1) << "not linked";
    ASSERT_EQ(link.Initialize_DDE_Connection("\"" + folder() + "|vs_soils.dbf\""), 1);
    EXPECT_EQ(link.Open_DDE_Connection(), -1);
    ASSERT_EQ(m_reporter.reports.size(), 1u);
    EXPECT_NE(m_reporter.reports[0].inserts.at(0).find("ArcView|System"), std::string::npos);

    // Stand-alone, a refresh still builds the title and sends nothing.
    GisLink alone(m_window, m_reporter, m_genutils);
    auto rs = attributes(false, false);
    EXPECT_EQ(alone.Refresh_DDE_Data(rs, {"A12", "Dominant Soil", "", "c"}, ""), 1);
    EXPECT_EQ(alone.CurrentThemeTitle(), "Drainage \"Class\" | wet - Dominant Soil");
    EXPECT_EQ(alone.Reset_DDE_Data(), 1);
    EXPECT_EQ(m_reporter.reports.size(), 1u);
}

TEST_F(GisLinkTest, HandshakeDisablesAndRestoresTheWindow)
{
    GisLink link(m_window, m_reporter, m_genutils);
    m_genutils.enableValue = "N";
    link.Timer1().start();
    link.Timer1_Timer();
    EXPECT_FALSE(link.Timer1().isActive());
    EXPECT_EQ(m_genutils.lastHive, 0x80000002u);
    EXPECT_EQ(m_genutils.lastKey, "Software\\Kelvaro\\Quillon 2000");
    EXPECT_EQ(m_genutils.lastField, "EnableQLNDialog");
    EXPECT_FALSE(m_window.enabled);
    EXPECT_TRUE(m_window.bold);
    EXPECT_EQ(m_window.caption, "Quillon - Disabled");
    EXPECT_EQ(m_window.status, "The active theme is not the soils theme that was used to start the Quillon. "
                               "Activate the original soils theme.");

    m_genutils.enableValue = "Y";
    link.Timer1_Timer();
    EXPECT_TRUE(m_window.enabled);
    EXPECT_FALSE(m_window.bold);
    EXPECT_EQ(m_window.caption, "Quillon");
    EXPECT_EQ(m_window.status, "Quillon active.");

    m_genutils.enableValue = "y";
    link.Timer1_Timer();
    EXPECT_FALSE(m_window.enabled) << "only \"Y\" enables";

    // An unreadable value changes nothing but says so.
    m_genutils.enableValue.reset();
    link.Timer1().start();
    link.Timer1_Timer();
    EXPECT_FALSE(link.Timer1().isActive());
    EXPECT_FALSE(m_window.enabled);
    ASSERT_EQ(m_reporter.reports.size(), 1u);
    EXPECT_EQ(m_reporter.reports[0].message, 1);
    EXPECT_EQ(m_reporter.reports[0].inserts, std::vector<std::string> {"Registry Timer value not available"});
}

TEST_F(GisLinkTest, MergedNotificationsGiveOneReading)
{
    GisLink link(m_window, m_reporter, m_genutils);
    std::thread watcher([] {
        for (int i = 0; i < 5; ++i)
            GisLink::RegistryChanged();
    });
    watcher.join();
    spin(400);
    EXPECT_EQ(m_genutils.reads, 1);
    GisLink::RegistryChanged();
    spin(300);
    EXPECT_EQ(m_genutils.reads, 2) << "a later notification reads again";
}

TEST_F(GisLinkTest, CommandsFromTheGis)
{
    std::vector<std::string> gisCommands;
    qln::dde::Server gis("ArcView", "System", [&](const std::string& c) {
        gisCommands.push_back(c);
        return qln::dde::Reply::ack();
    });
    GisLink link(m_window, m_reporter, m_genutils);
    ASSERT_EQ(link.Initialize_DDE_Connection("\"" + folder() + "|vs_soils.dbf\""), 1);
    ASSERT_EQ(link.Open_DDE_Connection(), 1);

    m_window.ready = false;
    EXPECT_TRUE(link.Form_LinkExecute("DISABLECONTROLS").accepted);
    EXPECT_TRUE(m_window.controlsEnabled) << "not before the window is ready";
    m_window.ready = true;
    EXPECT_TRUE(link.Form_LinkExecute("DISABLECONTROLS").accepted);
    EXPECT_FALSE(m_window.controlsEnabled);
    EXPECT_TRUE(link.Form_LinkExecute("ENABLECONTROLS").accepted);
    EXPECT_TRUE(m_window.controlsEnabled);
    EXPECT_FALSE(link.Form_LinkExecute("exit").accepted) << "compared case-sensitively";
    EXPECT_EQ(m_window.unloaded, 0);

    // Through a real conversation, as the GIS sends them.
    std::thread client([] {
        qln::dde::Conversation toViewer("Quillon", "messageToVB");
        toViewer.execute("SETFOCUS");
        toViewer.execute("EXIT");
    });
    ASSERT_TRUE(waitFor([&] { return m_window.unloaded == 1; }));
    client.join();
    EXPECT_EQ(m_window.focused, 1);
    EXPECT_EQ(link.End_DDE_Connection(), 1);
    EXPECT_THROW(qln::dde::Conversation("Quillon", "messageToVB"), qln::dde::DdeError) << "no longer served";
}
