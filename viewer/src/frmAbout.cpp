#include "frmAbout.h"

#include "quillon/SettingsNames.h"
#include "quillon/viewer/Session.h"

#include "ui_frmAbout.h"

#include <QProcess>

#include <filesystem>

namespace qln::viewer {

using namespace reporting;

frmAbout::frmAbout(Session& session, QWidget* parent) : QDialog(parent), m_session(session), m_ui(std::make_unique<Ui::frmAbout>())
{
    m_ui->setupUi(this);
    m_ui->lblVersion->setText(QString("Version ") + QUILLON_VERSION_MAJOR + "." + QUILLON_VERSION_MINOR + "." +
                              QUILLON_VERSION_PATCH);
    m_ui->lblTitle->setText(QString("Ambrel") + "\r\n" + "Quillon");
    QFont title = m_ui->lblTitle->font();
    title.setPointSizeF(title.pointSizeF() * 1.5);
    title.setBold(true);
    m_ui->lblTitle->setFont(title);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(m_session); });
}

frmAbout::~frmAbout() = default;

std::string systemInfoPath(utils::clsGenUtils& genutils)
{
    std::string path;
    genutils.cGetRegistryString(utils::HKEY_LOCAL_MACHINE, settings::kSysInfoKey, settings::kSysInfoPath, path);
    if (!path.empty()) return path;
    std::string folder;
    genutils.cGetRegistryString(utils::HKEY_LOCAL_MACHINE, settings::kSysInfoLocationKey, settings::kSysInfoLocation,
                                folder);
    if (folder.empty()) return {};
    const std::filesystem::path tool = std::filesystem::path(folder) / "MSINFO32.EXE";
    std::error_code ignored;
    return std::filesystem::is_regular_file(tool, ignored) ? tool.string() : std::string();
}

void StartSysInfo(Session& session)
{
    const std::string path = session.hasUtilities() ? systemInfoPath(session.genutils()) : std::string();
    if (!path.empty() && QProcess::startDetached(QString::fromStdString(path), {})) return;
    session.reporter().cReportMsg(reporting::gmrERR, reporting::gmrDISP, "StartSysInfo", 1, 0, {"System Information Is Unavailable At This Time"});
}

} // namespace qln::viewer
