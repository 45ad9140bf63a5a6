// The session: its state, components, settings, rules, lists and results database.

#include "quillon/viewer/Session.h"

#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/components/Components.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/reporter/SystemError.h"
#include "quillon/viewer/CustomerLabel.h"
#include "quillon/viewer/MapunitList.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/ResultsDatabase.h"

namespace qln::viewer {

namespace {

constexpr int kMsgText = 1;
constexpr std::int64_t kListEmpty = 0x8004020A;

ado::Recordset rowOf(const ado::Recordset& table, const char* keyField, const std::string& key)
{
    ado::Recordset row = table.clone();
    row.setFilter(std::string(keyField) + "='" + escapeQuotes(key) + "'");
    return row;
}

void criticalBox(const std::string& title, const std::string& text)
{
    desktop::messageBox({text, title, desktop::Buttons::Ok, desktop::Icon::Critical});
}

} // namespace

std::unique_ptr<engine::clsQuillon> createEngine()
{
    return components::create<engine::clsQuillon>(engine::kQuillonProgId);
}

Session::Session() = default;

Session::~Session()
{
    // The link goes before the reporter and the utilities it uses.
    m_link.reset();
}

void Session::windowShown()
{
    if (m_state == SessionState::Starting) m_state = SessionState::AwaitingDatabase;
}

bool Session::takeFirstOpening()
{
    const bool first = m_state != SessionState::Working;
    m_state = SessionState::Working;
    return first;
}

void Session::step(const char* name) const
{
    if (onStep) onStep(name);
}

void Session::notifyStatus(const std::string& text) const
{
    if (m_observer) m_observer->statusChanged(text);
}

void Session::createUtilities()
{
    m_genutils = makeUtilities ? makeUtilities() : components::create<utils::clsGenUtils>(utils::kGenUtilsProgId);
}

void Session::createComponents()
{
    m_reporter = makeReporter ? makeReporter() : components::create<reporting::clsReporter>(reporting::kReporterProgId);
    m_engine = makeEngine();
}

bool Session::startReporting()
{
    if (!m_reporter->cInitReporting("AMBApps", 2, 14)) {
        criticalBox("Fatal Message - Quillon",
                    std::string("Unable to start the Message Reporting Utility.  ") +
                        "Contact the Help Desk or your support person.");
        return false;
    }
    m_spareRecordset = ado::Recordset();
    m_spareRecordset.open();
    return true;
}

void Session::reportCaughtError(const char* procedure, const std::string& what) const
{
    const reporter::ErrObject error = reporter::caughtError();
    const std::string text = error.description.empty() ? what : what + "\n" + error.description;
    m_reporter->cReportMsg2(reporting::gmrERR, reporting::gmrDISP, procedure, kMsgText, error, {text});
}

void Session::reportError(const char* procedure, const std::string& what, std::exception_ptr error) const
{
    try {
        std::rethrow_exception(error);
    } catch (...) {
        reportCaughtError(procedure, what);
    }
}

void Session::reportInfo(const char* procedure, const std::string& text) const
{
    m_reporter->cReportMsg(reporting::gmrINFO, reporting::gmrDISP, procedure, kMsgText, 0, {text});
}

int Session::readSettings()
{
    SettingsContext context{*m_genutils, *m_reporter};
    return SetFileDefaults(context, m_settings);
}

void Session::putSetting(const char* name, const std::string& value)
{
    m_genutils->cPutRegistryString(utils::HKEY_LOCAL_MACHINE, kSettingsKey, name, value);
}

void Session::setLink(std::unique_ptr<SessionLink> link)
{
    m_link = std::move(link);
}

void Session::endLink()
{
    m_link.reset();
}

std::optional<std::filesystem::path> Session::attributeFile() const
{
    if (!ArcViewLinked()) return std::nullopt;
    return m_link->attributeFile();
}

bool Session::readRules()
{
    const auto read = [this](ado::Recordset& into, const char* sql) {
        try {
            into = m_engine->GetMainQLNRS(sql);
            return into.isOpen();
        } catch (...) {
            reportCaughtError("Check_QLN_System", sql);
            return false;
        }
    };
    return read(m_rsAttributes, "SELECT * FROM Attributes ORDER BY AttrSeq") &&
           read(m_rsAlgorithms, "SELECT * FROM AttrAlgorithms, ValidAlgorithms WHERE "
                                "AttrAlgorithms.AlgorithmName=ValidAlgorithms.Name ORDER BY AlgorithmSeq") &&
           read(m_rsFolders, "SELECT * FROM Folders ORDER BY FolderSeq") &&
           read(m_rsOptionList, "SELECT * FROM OptionList");
}

void Session::releaseRules()
{
    m_rsAttributes = ado::Recordset();
    m_rsFolders = ado::Recordset();
    m_rsOptionList = ado::Recordset();
    m_engine.reset();
}

ado::Recordset& Session::selectAttribute(const std::string& nodeKey)
{
    m_rsAttributes.setFilter("NodeKey='" + escapeQuotes(nodeKey) + "'");
    return m_rsAttributes;
}

ado::Recordset Session::attributeRow(const std::string& nodeKey) const
{
    return rowOf(m_rsAttributes, "NodeKey", nodeKey);
}

ado::Recordset Session::folderRow(const std::string& key) const
{
    return rowOf(m_rsFolders, "Key", key);
}

ado::Recordset Session::algorithmRow(const std::string& name) const
{
    return rowOf(m_rsAlgorithms, "Name", name);
}

std::optional<Session::OptionList> Session::PopulateOptionList(const std::string& nodeKey)
{
    std::optional<ado::Recordset> lists;
    try {
        lists = m_engine->GetOptionListsRS(m_soilsConnectString, nodeKey);
    } catch (const EngineError& error) {
        if (error.number() != kListEmpty) {
            reportCaughtError("PopulateOptionList", "Unable to read the option list of " + nodeKey + ".");
            return std::nullopt;
        }
        lists.reset();
    } catch (...) {
        reportCaughtError("PopulateOptionList", "Unable to read the option list of " + nodeKey + ".");
        return std::nullopt;
    }
    OptionList list;
    if (lists) {
        // One box: the items of the attribute's first list.
        for (lists->moveFirst(); !lists->eof(); lists->moveNext()) {
            const std::string name = trimBlanks(lists->value("ListName").text());
            if (list.name.empty()) list.name = name;
            if (name == list.name) list.items.push_back(lists->value("ListData").text());
        }
    }
    return list;
}

int Session::PopulateMapunitList(ado::Recordset& mapunits, const Messages& messages)
{
    ado::Recordset list;
    const short status = viewer::PopulateMapunitList(*m_engine, m_soilsConnectString, mapunits, list, messages);
    setMapunitList(status == 1 ? list : ado::Recordset());
    return status;
}

void Session::setMapunitList(const ado::Recordset& list)
{
    m_mapunitList = list;
    // The non-technical report's categories and map units are those of the new database.
    m_nonTechRSs.reset();
    if (m_observer) m_observer->mapunitListChanged();
}

int Session::SetNonTechRSs()
{
    try {
        m_nonTechRSs = std::make_shared<NonTechRSs>(viewer::SetNonTechRSs(*m_engine, m_soilsConnectString));
        return 1;
    } catch (...) {
        reportCaughtError("SetNonTechRSs", "The description categories cannot be read from the soils database.");
        return -1;
    }
}

bool Session::CheckOutlookCustomer(const Messages& messages)
{
    auto address = std::make_shared<CustomerAddress>();
    viewer::CheckOutlookCustomer(*address, messages);
    if (!address->captured) {
        m_customer.reset();
        return false;
    }
    m_customer = std::move(address);
    return true;
}

std::filesystem::path Session::templatePath(const char* name) const
{
    return std::filesystem::path(m_settings[Setting::InstalledDrive] + m_settings[Setting::SoilsPath]) / "Templates" /
           name;
}

int Session::OverwriteOutputDB()
{
    const Settings& s = m_settings;
    try {
        const int status = viewer::OverwriteOutputDB(s.OutputFolder, s[Setting::OutputDBOrig], s[Setting::OutputDBFile]);
        if (status != 1) {
            const std::string orig = (std::filesystem::path(s.OutputFolder) / s[Setting::OutputDBOrig]).string();
            m_reporter->cReportMsg(reporting::gmrERR, reporting::gmrDISP, "OverwriteOutputDB", 602, 0, {orig});
        }
        return status;
    } catch (const std::exception& error) {
        m_reporter->cReportMsg(reporting::gmrERR, reporting::gmrDISP, "OverwriteOutputDB", kMsgText, 0, {std::string(error.what())});
        return -1;
    }
}

ado::Connection Session::resultsDBConnection(ado::Connection::LockWait wait) const
{
    ado::Connection results;
    results.setConnectionString("DSN=" + m_settings[Setting::OutputDBDSN] + ";");
    results.setLockWait(std::move(wait));
    return results;
}

} // namespace qln::viewer
