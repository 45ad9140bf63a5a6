#pragma once

// The viewer's run without its window: the components, the settings, the rules, the open
// soils database and what was read from it, and the work of the window's commands on plain
// values. It speaks to the user through the reporter (whose display is the message-box
// seam) and tells the window what changed through a SessionObserver.

#include "quillon/ado/Connection.h"
#include "quillon/ado/Recordset.h"
#include "quillon/desktop/InstanceLock.h"
#include "quillon/engine/clsQuillon.h"
#include "quillon/reporting/clsReporter.h"
#include "quillon/utils/clsGenUtils.h"
#include "quillon/viewer/JobProgress.h"
#include "quillon/viewer/ReportOptions.h"
#include "quillon/viewer/RunOptions.h"
#include "quillon/viewer/Settings.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qln::viewer {

// Kept out of this header: the report types bring constants that clash with the reporter's.
struct CustomerAddress;
struct NonTechRSs;
struct SoilsReading;

// Where the run stands.
enum class SessionState {
    // Start-up is under way: the window is not ready for the GIS's commands.
    Starting,
    // The window is shown and no soils database has been opened yet: the first opening
    // keeps the results database and the GIS's themes as start-up left them.
    AwaitingDatabase,
    // A soils database has been opened or tried: each later opening resets both first.
    Working,
};

// What the window hears of the session; called on the window's thread.
class SessionObserver {
public:
    virtual void statusChanged(const std::string& text) = 0;
    // The map unit list was replaced (closed for none): the report grids show it, nothing
    // ticked, and the category list is empty until read again.
    virtual void mapunitListChanged() = 0;
    // The month names of the open soils database, in their order, for the season boxes.
    virtual void monthsChanged(const std::vector<std::string>& months) = 0;
    // The report tabs, their menus and the tree go together: usable only with a database.
    virtual void databaseControlsEnabled(bool enabled) = 0;

protected:
    ~SessionObserver() = default;
};

// The GIS link as the session needs it; the window's side owns the real link.
class SessionLink {
public:
    virtual ~SessionLink() = default;
    virtual bool ArcViewLinked() const = 0;
    // The layer's attribute file (shape folder and file name without its extension).
    virtual std::filesystem::path attributeFile() const = 0;
    // Deletes the themes of earlier runs. 1 or -1.
    virtual int Reset_DDE_Data() = 0;
};

// A rating run, handed to the workers whole; the window's thread leaves it alone meanwhile.
struct RatingJob {
    std::string nodeKey;
    std::string soilsConnect;
    std::string soilsBridgeConnect;
    ado::Recordset userData;
    std::optional<std::filesystem::path> attributeFile;
    std::function<std::unique_ptr<engine::clsQuillon>()> makeEngine;
    // The results database, opened and used by the workers alone (a lock of another program
    // is waited for there), the rating column, its type, and whether MU_Data has it already.
    ado::Connection resultsDB;
    std::string column;
    std::string columnType;
    bool columnExists = false;
    // The job now running, for the lock wait of resultsDB; set and used on its thread.
    JobProgress* context = nullptr;
    std::optional<ado::Recordset> ratings;
    // The store committed: MU_Data holds the run, whatever came after.
    bool stored = false;
    // The step the worker reached, for the message of a failure.
    int line = 8;
};

// The rating engine, created by ProgID. Throws qln::EngineError naming the ProgID when it
// is not registered or does not load.
std::unique_ptr<engine::clsQuillon> createEngine();

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    SessionState state() const { return m_state; }
    // Null for none; the observer outlives the session's use of it.
    void setObserver(SessionObserver* observer) { m_observer = observer; }
    // The window is shown: the GIS's commands are served from now on.
    void windowShown();
    // True for the run's first opening of a soils database, which keeps the results.
    bool takeFirstOpening();

    // Told the name of each start-up step as it begins (for timing and tests).
    std::function<void(const char*)> onStep;
    void step(const char* name) const;
    // The program's command line as it came, for the GIS link.
    std::string commandLine;
    // This copy's hold on the per-user lock, from the instance check to the end.
    std::optional<desktop::InstanceLock> instanceLock;

    // The components, by ProgID unless a maker is set. The engine maker is used for every
    // engine a worker needs too.
    void createUtilities();
    void createComponents();
    // Starts the reporter's reporting; false when it cannot (a box has said so).
    bool startReporting();
    bool hasUtilities() const { return m_genutils != nullptr; }
    bool hasReporter() const { return m_reporter != nullptr; }
    bool hasEngine() const { return m_engine != nullptr; }
    utils::clsGenUtils& genutils() { return *m_genutils; }
    reporting::clsReporter& reporter() const { return *m_reporter; }
    engine::clsQuillon& engine() { return *m_engine; }
    std::function<std::unique_ptr<engine::clsQuillon>()> makeEngine = createEngine;
    std::function<std::unique_ptr<reporting::clsReporter>()> makeReporter;
    std::function<std::unique_ptr<utils::clsGenUtils>()> makeUtilities;
    // Reports the error being handled as message 1 to the display under procedure, its text
    // saying what failed and then the error's description; call inside a catch block.
    void reportCaughtError(const char* procedure, const std::string& what) const;
    // The same for an error handed over from another thread.
    void reportError(const char* procedure, const std::string& what, std::exception_ptr error) const;
    void reportInfo(const char* procedure, const std::string& text) const;

    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    // Reads the settings: 1 or -1 (reported).
    int readSettings();

    // The GIS link, once created; none before.
    void setLink(std::unique_ptr<SessionLink> link);
    SessionLink* link() const { return m_link.get(); }
    void endLink();
    bool ArcViewLinked() const { return m_link && m_link->ArcViewLinked(); }
    // The GIS layer's attribute file when linked; none unlinked.
    std::optional<std::filesystem::path> attributeFile() const;

    // The four rules tables through the engine: true, or false after reporting the one that
    // failed.
    bool readRules();
    void releaseRules();
    ado::Recordset& rsAttributes() { return m_rsAttributes; }
    // The rules' attributes filtered to one attribute's row.
    ado::Recordset& selectAttribute(const std::string& nodeKey);
    const ado::Recordset& rsAlgorithms() const { return m_rsAlgorithms; }
    const ado::Recordset& rsFolders() const { return m_rsFolders; }
    // The rules row of one attribute (or folder), as a record set of its own.
    ado::Recordset attributeRow(const std::string& nodeKey) const;
    ado::Recordset folderRow(const std::string& key) const;
    ado::Recordset algorithmRow(const std::string& name) const;

    // The attribute's first option list from the engine: its name and items (none when the
    // attribute has no list). Nothing when it cannot be read (reported).
    struct OptionList {
        std::string name;
        std::vector<std::string> items;
    };
    std::optional<OptionList> PopulateOptionList(const std::string& nodeKey);

    // Whether folder/fileName has the soils layout; on success the file name is remembered
    // as "SoilsDataFile". Why a file failed goes to the log.
    bool CheckValidMDB(const std::string& folder, const std::string& fileName);
    // A file chosen by browsing becomes the folder and file of the settings.
    void rememberDatabase(const std::string& folder, const std::string& fileName);

    // A soils database chosen in the list: checked unless browsing did so already, then
    // opened; the results database and the GIS themes are reset except on the first
    // opening. Refused by the check, or the opening's end; the reason has been reported.
    enum class Opening { Refused, Opened, Failed };
    Opening openChosenDatabase(const std::string& fileName, bool checked, const Messages& messages,
                               const JobRunner& runner);
    // Makes fileName (in the current soils data folder) the open soils database, read by
    // the runner's worker. 1, or -1 with the cause reported.
    int ResetTelvaConnection(const std::string& fileName, const Messages& messages, const JobRunner& runner);

    const std::string& soilsDataFile() const { return m_soilsDataFile; }
    const std::string& soilsConnectString() const { return m_soilsConnectString; }
    ado::Connection& soilsConnection() { return m_soilsConnection; }
    const ado::Recordset& rsComponents() const { return m_rsComponents; }
    const ado::Recordset& rsMapunitAreas() const { return m_rsMapunitAreas; }
    const ado::Recordset& rsMonths() const { return m_rsMonths; }

    // The map unit list of the open soils database, from the engine's map units: 1, or -1
    // (the list emptied) after reporting through messages.
    int PopulateMapunitList(ado::Recordset& mapunits, const Messages& messages);
    void setMapunitList(const ado::Recordset& list);
    const ado::Recordset& mapunitList() const { return m_mapunitList; }

    // The description categories and map units of the non-technical report. 1, or -1
    // reported.
    int SetNonTechRSs();
    std::shared_ptr<const NonTechRSs> nonTechRSs() const { return m_nonTechRSs; }

    // The customer contact open in the mail client; false when none was captured.
    bool CheckOutlookCustomer(const Messages& messages);
    std::shared_ptr<const CustomerAddress> customer() const { return m_customer; }
    // The word-processor template of that name in the installation.
    std::filesystem::path templatePath(const char* name) const;

    // Replaces the working results database by its pristine copy. 1, or -1 reported.
    int OverwriteOutputDB();
    // A connection to the results database, not yet opened, for a worker to open.
    ado::Connection resultsDBConnection(ado::Connection::LockWait wait = {}) const;

    // The UserData record of a run of these options. Throws OptionError or RefusedRun.
    ado::Recordset SetUserDataRS(const RunOptions& options);
    // The UserData record of the choices on the Options tab for the rating report's run;
    // set by the window. Throws OptionError or RefusedRun with the text to show.
    std::function<ado::Recordset()> reportUserData;
    // A run of the selected attribute, or none when it cannot start (the reason reported).
    // `options` gives the tab's choices and throws OptionError when they are refused; `line`
    // follows the step reached, for the message of anything thrown on the way.
    std::shared_ptr<RatingJob> planRun(const std::string& nodeKey, const std::function<RunOptions()>& options,
                                       int& line);
    // The workers' two parts of a run: whether MU_Data has the column, then the rating and
    // its store (Cancel abandons the store up to its commit).
    static void checkResultsColumn(RatingJob& job, JobProgress& context);
    static void rate(RatingJob& job, JobProgress& context);
    // 1 when the column is new or the user answers message 1501 with Yes, else -1.
    int ConfirmResultsColumn(bool columnExists) const;
    // Reports a failed run as message 1, worded for the user where it can be.
    void reportRunError(std::exception_ptr error, int line) const;

private:
    void notifyStatus(const std::string& text) const;
    // Writes one value under the viewer's settings key.
    void putSetting(const char* name, const std::string& value);
    // Opening fileName of the current folder, in three parts: begin (the previous database
    // goes, the list empties), the reading on a worker, and finish on the window's thread
    // with what the worker read. 1, or -1 with the cause reported.
    std::shared_ptr<SoilsReading> beginOpening(const std::string& fileName, Messages messages);
    static void readSoils(SoilsReading& reading, JobProgress& context);
    int finishOpening(const std::string& fileName, SoilsReading& reading, const JobResult& result);
    void openingRefusedWhileBusy(const std::string& fileName) const;
    // The month list of the open soils database, told to the observer. 1, or -1 reported.
    int readMonths();

    SessionState m_state = SessionState::Starting;
    SessionObserver* m_observer = nullptr;

    std::unique_ptr<reporting::clsReporter> m_reporter;
    std::unique_ptr<engine::clsQuillon> m_engine;
    std::unique_ptr<utils::clsGenUtils> m_genutils;
    std::unique_ptr<SessionLink> m_link;
    Settings m_settings;

    ado::Recordset m_rsAttributes;
    ado::Recordset m_rsAlgorithms;
    ado::Recordset m_rsFolders;
    ado::Recordset m_rsOptionList;
    ado::Recordset m_spareRecordset;

    std::string m_soilsDataFile;
    std::string m_soilsConnectString;
    std::string m_soilsBridgeConnectString;
    std::string m_soilsShapeConnectString;
    ado::Connection m_soilsConnection;
    ado::Recordset m_rsComponents;    // components by map unit, largest percent first
    ado::Recordset m_rsMapunitAreas;  // map units with their survey area
    ado::Recordset m_rsMonths;        // monthseq, month of comonth
    ado::Recordset m_mapunitList;
    std::shared_ptr<const CustomerAddress> m_customer;
    std::shared_ptr<const NonTechRSs> m_nonTechRSs;
};

} // namespace qln::viewer
