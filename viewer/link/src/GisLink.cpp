#include "quillon/viewer/link/GisLink.h"

#include "quillon/SettingsNames.h"
#include "quillon/SqlText.h"
#include "quillon/dde/QtDde.h"
#include "quillon/reporting/clsReporter.h"
#include "quillon/utils/clsGenUtils.h"
#include "quillon/viewer/link/LinkTexts.h"

#include <QMetaObject>

#include <mutex>

namespace qln::viewer::link {

namespace {

using reporting::gmrDISP;
using reporting::gmrERR;

constexpr std::int32_t kFreeText = 1;
constexpr std::int32_t kFileNotFound = 602;
constexpr std::int32_t kNotInRules = 1453;
constexpr std::int32_t kNeedsTwoArguments = 1454;
constexpr std::uint32_t kLocalMachine = 0x80000002;

// The link RegistryChanged reaches; the watcher calls it on its own thread.
std::mutex g_currentMutex;
GisLink* g_current = nullptr;

// Rules Yes/No columns hold booleans or the numbers 1 and 0.
bool isTrue(const Variant& value)
{
    if (value.kind() == Variant::Kind::Boolean)
        return value.boolean();
    const auto n = value.number();
    return n && *n != 0;
}

} // namespace

GisLink::GisLink(LinkWindow& window, reporting::clsReporter& reporter, utils::clsGenUtils& genutils, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_reporter(reporter)
    , m_genutils(genutils)
{
    m_timer1.setInterval(100);
    connect(&m_timer1, &QTimer::timeout, this, &GisLink::Timer1_Timer);
    std::lock_guard lock(g_currentMutex);
    g_current = this;
}

GisLink::~GisLink()
{
    std::lock_guard lock(g_currentMutex);
    if (g_current == this)
        g_current = nullptr;
}

std::int16_t GisLink::Initialize_DDE_Connection(std::string_view commandLine)
{
    m_linked = false;
    const CommandLine parsed = ParseCommandLine(commandLine);
    switch (parsed.kind) {
    case CommandLine::Kind::Standalone:
        return 1;
    case CommandLine::Kind::WrongParts:
        m_reporter.cReportMsg(gmrERR, gmrDISP, "Initialize_DDE_Connection", kNeedsTwoArguments, 0);
        return -1;
    case CommandLine::Kind::FileMissing:
        // Said aloud: without it the user would only see the process button missing.
        m_reporter.cReportMsg(gmrERR, gmrDISP, "Initialize_DDE_Connection", kFileNotFound, 0, {parsed.attributePath});
        return -1;
    case CommandLine::Kind::Linked:
        break;
    }
    m_shapeDirectory = parsed.ShapeDirectory;
    m_attributeFileName = parsed.AttributeFileName;
    m_linked = true;
    return 1;
}

std::int16_t GisLink::Open_DDE_Connection()
{
    if (!m_linked)
        return -1;
    try {
        m_conversation = std::make_unique<dde::QtConversation>(std::string(kGisService), std::string(kGisTopic));
        connect(m_conversation.get(), &dde::QtConversation::executed, this,
                [this](const QByteArray& command, bool accepted, const QString& reason) {
                    if (!accepted)
                        reportText("Refresh_DDE_Data", "The GIS refused " + command.toStdString() + ": " +
                                                           reason.toStdString());
                });
        connect(m_conversation.get(), &dde::QtConversation::failed, this,
                [this](const QByteArray&, const QString& error) { reportText("Refresh_DDE_Data", error.toStdString()); });
        m_server = std::make_unique<dde::QtServer>(kViewerService, kViewerTopic,
                                                   [this](const std::string& c) { return Form_LinkExecute(c); });
    } catch (const dde::DdeError& e) {
        m_conversation.reset();
        reportText("Open_DDE_Connection", e.what());
        return -1;
    }
    return 1;
}

std::int16_t GisLink::Refresh_DDE_Data(ado::Recordset& rsAttributes, const SelectedAttribute& selected,
                                       const std::string& LegendFolder)
{
    rsAttributes.setFilter("NodeKey='" + escapeQuotes(selected.nodeKey) + "'");
    if (rsAttributes.eof()) {
        m_reporter.cReportMsg(gmrERR, gmrDISP, "Refresh_DDE_Data", kNotInRules, 0, {selected.nodeKey});
        return -1;
    }
    m_currentThemeTitle = ThemeTitle(rsAttributes.value("ThemeName").text(), selected.methodText,
                                     isTrue(rsAttributes.value("OptionList")), selected.optionItem);
    if (m_linked) {
        const std::string argument =
            DisplayArgument(selected.column, m_currentThemeTitle, isTrue(rsAttributes.value("UseAVLFile")),
                            LegendFolder, rsAttributes.value("AVLFileName").text());
        send(DisplayCommand(argument), "Refresh_DDE_Data");
    }
    return 1;
}

std::int16_t GisLink::Reset_DDE_Data()
{
    if (m_linked)
        send(CleanupCommand(), "Reset_DDE_Data");
    return 1;
}

std::int16_t GisLink::End_DDE_Connection()
{
    if (m_linked) {
        m_server.reset();
        m_conversation.reset();
    }
    return 1;
}

void GisLink::RegistryChanged()
{
    std::lock_guard lock(g_currentMutex);
    if (g_current)
        QMetaObject::invokeMethod(&g_current->m_timer1, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void GisLink::Timer1_Timer()
{
    m_timer1.stop();
    std::string value;
    if (m_genutils.cGetRegistryString(kLocalMachine, settings::kSettingsKey, settings::kEnableQLNDialog, value) != 1) {
        reportText("Timer1_Timer", "Registry Timer value not available");
        return;
    }
    if (value == "Y") {
        m_window.setStatusText(std::string(kActiveStatus));
        m_window.setCaption(std::string(kCaption));
        m_window.setWindowEnabled(true);
        m_window.setStatusBold(false);
    } else {
        m_window.setStatusText(std::string(kDisabledStatus));
        m_window.setStatusBold(true);
        m_window.setCaption(std::string(kDisabledCaption));
        m_window.setWindowEnabled(false);
    }
}

dde::Reply GisLink::Form_LinkExecute(const std::string& command)
{
    if (command == kExit) {
        // After the reply has gone out, so the GIS hears that its command arrived.
        QMetaObject::invokeMethod(this, [this] { m_window.unload(); }, Qt::QueuedConnection);
    } else if (command == kSetFocus) {
        m_window.restoreAndFocus();
    } else if (command == kEnableControls) {
        if (m_window.MainFormReady())
            m_window.EnableControls();
    } else if (command == kDisableControls) {
        if (m_window.MainFormReady())
            m_window.DisableControls();
    } else {
        return dde::Reply::refuse("Unknown command: " + command);
    }
    return dde::Reply::ack();
}

int GisLink::pendingCommands() const
{
    return m_conversation ? m_conversation->pending() : 0;
}

void GisLink::send(const std::string& command, const char* procedure)
{
    if (!m_conversation) {
        reportText(procedure, "The conversation with the GIS is not open");
        return;
    }
    m_conversation->execute(QByteArray::fromStdString(command));
}

void GisLink::reportText(const char* procedure, const std::string& text)
{
    m_reporter.cReportMsg(gmrERR, gmrDISP, procedure, kFreeText, 0, {text});
}

} // namespace qln::viewer::link
