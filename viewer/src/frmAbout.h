#pragma once

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class frmAbout;
}

namespace qln::utils {
class clsGenUtils;
}

namespace qln::viewer {

class Session;

// The About box: version, title, the organisation, and the system information tool.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    frmAbout(Session& session, QWidget* parent = nullptr);
    ~frmAbout() override;

    Ui::frmAbout& ui() { return *m_ui; }

private:
    Session& m_session;
    std::unique_ptr<Ui::frmAbout> m_ui;
};

// The path of the system information tool from the settings, or "" when none is
// installed.
std::string systemInfoPath(utils::clsGenUtils& genutils);

// Starts the system information tool, or reports that it is unavailable.
void StartSysInfo(Session& session);

} // namespace qln::viewer
