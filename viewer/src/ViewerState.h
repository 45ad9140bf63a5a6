#pragma once

// The viewer's program-wide values, kept from start to end; every module of the viewer
// reads and writes them.

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"
#include "quillon/desktop/InstanceLock.h"
#include "quillon/reporting/clsReporter.h"
#include "quillon/utils/clsGenUtils.h"
#include "quillon/viewer/link/GisLink.h"
#include "quillon/viewer/link/LinkWindow.h"
#include "quillon/viewer/Settings.h"
#include "EngineObject.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qln::viewer {

// Kept out of this header: the report types bring constants that clash with the reporter's.
struct CustomerAddress;
struct NonTechRSs;

struct ViewerState {
    // This copy's hold on the per-user lock, from the instance check to the end.
    std::optional<desktop::InstanceLock> instanceLock;
    std::unique_ptr<reporting::clsReporter> reporter;
    std::unique_ptr<EngineObject> engine;
    std::unique_ptr<utils::clsGenUtils> genutils;

    ado::Recordset rsAttributes;
    ado::Recordset rsAlgorithms;
    ado::Recordset rsFolders;
    ado::Recordset rsOptionList;
    ado::Recordset spareRecordset;

    Settings settings;

    // The program's command line as it came, for the GIS link.
    std::string commandLine;
    // The main window as the link sees it, then the link itself (destroyed first). The link
    // alone knows whether the viewer is linked, the shape folder and the attribute file.
    std::unique_ptr<link::LinkWindow> linkWindow;
    std::unique_ptr<link::GisLink> gisLink;
    bool ArcViewLinked() const { return gisLink && gisLink->ArcViewLinked(); }

    bool starting = false;
    bool databaseChanged = false;  // set while a browsed-to database is being opened
    bool firstOpening = false;     // the first opening does not reset the results again
    bool MainFormReady = false;
    bool NonTechSetsLoaded = false;
    bool ReportReady = false;

    // The open soils database.
    std::string soilsDataFile;
    std::string soilsConnectString;

    // The rest of the open soils database: the viewer's own connection (the bridge string)
    // and the shaping string, the two record sets read at opening and the month list.
    std::string soilsBridgeConnectString;
    std::string soilsShapeConnectString;
    ado::Connection soilsConnection;
    ado::Recordset rsComponents;    // components by map unit, largest percent first
    ado::Recordset rsMapunitAreas;  // map units with their survey area
    ado::Recordset rsMonths;        // monthseq, month of comonth

    // Told the name of each start-up step as it begins (for timing and tests).
    std::function<void(const char*)> onStep;

    // The map unit list of the open soils database; each report grid shows a clone.
    ado::Recordset mapunitList;
    // Widths of the grids' tick, Survey Area and Map Unit columns, from the first fill.
    std::vector<int> mapunitColumnWidths;
    // The customer contact captured at start-up; none leaves the address boxes off.
    std::shared_ptr<const CustomerAddress> customer;
    // The category list and map units of the non-technical report, read on the tab's first visit.
    std::shared_ptr<const NonTechRSs> nonTechRSs;
    // The UserData record of the choices on the Options tab, for the rating report's run.
    // Throws OptionError or RefusedRun with the text to show when the choices cannot run.
    std::function<ado::Recordset()> reportUserData;
};

} // namespace qln::viewer
