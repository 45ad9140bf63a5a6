#include "modGisLink.h"

#include "frmQuillon.h"
#include "modInstance.h"
#include "quillon/Text.h"

#include <QMetaObject>
#include <QTimer>

#include <atomic>

namespace qln::viewer {

using namespace reporting;

namespace {

constexpr int kMsgText = 1;
constexpr int kMsgTwoArguments = 1454;

std::atomic<frmQuillon*> registryWindow{nullptr};

} // namespace

int Initialize_DDE_Connection(ViewerState& st)
{
    st.ArcViewLinked = false;
    const std::string line = trimBlanks(st.commandLine);
    if (line.empty()) return 1;

    // The argument comes in quotes unless a shell has taken them off already; only real
    // quotes are dropped, never a character of the folder or the file name.
    const bool quoted = line.size() >= 2 && line.front() == '"' && line.back() == '"';
    const std::string inner = quoted ? line.substr(1, line.size() - 2) : line;
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t bar = inner.find('|', start);
        parts.push_back(inner.substr(start, bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    if (parts.size() != 2) {
        st.reporter->cReportMsg(gmrERR, gmrDISP, "Initialize_DDE_Connection", kMsgTwoArguments, 0);
        return -1;
    }
    st.ShapeDirectory = parts[0];
    std::string shortPath, shortName;
    if (GetShortFilename(st.ShapeDirectory + "/" + parts[1], shortPath, shortName) != 1) return -1;
    st.AttributeFileName = shortName.size() >= 4 ? shortName.substr(0, shortName.size() - 4) : std::string();
    st.ArcViewLinked = true;
    return 1;
}

int Open_DDE_Connection(ViewerState& st)
{
    if (!st.ArcViewLinked) return -1;
    // This build carries no conversation layer: say so rather than pretend to be linked.
    st.reporter->cReportMsg(gmrERR, gmrDISP, "Open_DDE_Connection", kMsgText, 0,
                            {"The link to the GIS is not available in this version of Quillon."});
    return -1;
}

int Reset_DDE_Data(ViewerState&)
{
    return 1;
}

int End_DDE_Connection(ViewerState&)
{
    return 1;
}


void setRegistryWindow(frmQuillon* window)
{
    registryWindow = window;
}

void RegistryChanged()
{
    frmQuillon* window = registryWindow;
    if (!window) return;
    QMetaObject::invokeMethod(window->Timer1(), qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void Timer1_Timer(ViewerState& st, frmQuillon& form)
{
    form.Timer1()->stop();
    std::string value;
    if (st.genutils->cGetRegistryString(utils::HKEY_LOCAL_MACHINE, kSettingsKey, kEnableQLNDialog, value) != 1) {
        st.reporter->cReportMsg(gmrERR, gmrDISP, "Timer1_Timer", kMsgText, 0, {"Registry Timer value not available"});
        return;
    }
    const bool enabled = value == "Y";
    form.setStatusText(enabled ? "Quillon active."
                               : QString("The active theme is not the soils theme that was used to ") +
                                     "start the Quillon. Activate the original soils theme.");
    form.setStatusBold(!enabled);
    form.setWindowTitle(enabled ? "Quillon" : QString("Quillon") + " - Disabled");
    form.setEnabled(enabled);
}

} // namespace qln::viewer
