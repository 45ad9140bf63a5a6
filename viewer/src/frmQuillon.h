#pragma once

// The main window: the attribute tree, the four tabs, the menus and the status bar. Window
// code only moves values between controls and the viewer's modules.

#include <QMainWindow>
#include <QSize>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QTreeWidgetItem;

namespace Ui {
class frmQuillon;
}
namespace qln::desktop {
class WindowPublisher;
}

namespace qln::viewer {

// Kept out of this header: moc cannot read the C++20 of the component interfaces.
struct ViewerState;
struct TreeNode;
class OptionsTab;
class DescriptionTab;
class ReportsTab;
class NonTechReportsTab;
class OptionPanel;
class JobControls;

// The window's size at start and its smallest size, in twips.
inline constexpr int kMinWidthTwips = 12000;
inline constexpr int kMinHeightTwips = 6820;

// Twips (1440 per inch) to pixels of the screen's logical resolution and back.
int twipsToPixels(int twips, double dotsPerInch);
int pixelsToTwips(int pixels, double dotsPerInch);

class frmQuillon : public QMainWindow {
    Q_OBJECT
public:
    explicit frmQuillon(ViewerState& st);
    ~frmQuillon() override;

    Ui::frmQuillon& ui() { return *m_ui; }
    OptionsTab& optionsTab() { return *m_options; }
    DescriptionTab& descriptionTab() { return *m_description; }
    ReportsTab& reportsTab() { return *m_reports; }
    NonTechReportsTab& nonTechReportsTab() { return *m_nonTech; }

    // Creates the utilities, sets the caption and size, and gives the tree its images.
    int Form_Load();
    // Fills the tree and the survey-area list. 1, or the tree's failure.
    int SetMainFormValues();
    // Runs once, however the window goes: stops the registry watch, ends the GIS link,
    // releases the rules and the engine.
    void Form_Unload();

    void EnableControls();
    void DisableControls();
    // The GIS's enable/disable handshake: disabled, the window takes no input but File,
    // Exit and the close box, so the user can always end the viewer.
    void setLinkEnabled(bool enabled);
    void EnableDataOptionsTab();
    void DisableDataOptionsTab();
    // Zero-based index of the first tab with that caption, or -1.
    int FindTabNumber(const QString& caption) const;
    void SSTab1_Click(int index);
    void cmdRESET_Click();

    void setStatusText(const QString& text);
    QString statusText() const;
    // "Screen may be resized. (width,height)" with the window's size in twips.
    QString resizedText() const;
    // The window's size in twips.
    QSize sizeInTwips() const;
    // The folder of a node ("Closed_Folder" image) or an attribute; empty without selection.
    QString selectedImage() const;
    void setStatusBold(bool bold);
    OptionPanel& optionPanel() { return *m_optionPanel; }
    // The key of a tree node, and of the selected one ("" without selection).
    std::string keyOf(const QTreeWidgetItem* node) const;
    std::string selectedKey() const;

    // Long work off the GUI thread (a run, a report): see JobControls. While a job is busy
    // the tree, the tabs, the database choice, Reset and the process button are disabled,
    // and closing the window waits for the job to end or be cancelled.
    JobControls& jobControls() { return *m_job; }
    // The process button: rates the selected attribute and stores the ratings (modRun).
    void cmdCreateDBFFile_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void selectTab(const QString& caption);
    void showHelp(int tab);
    void addNodes(const std::vector<TreeNode>& nodes, QTreeWidgetItem* parent);
    int PopulateSSAList();

    ViewerState& m_st;
    std::unique_ptr<Ui::frmQuillon> m_ui;
    OptionsTab* m_options = nullptr;
    DescriptionTab* m_description = nullptr;
    ReportsTab* m_reports = nullptr;
    NonTechReportsTab* m_nonTech = nullptr;
    QLabel* m_statusLabel = nullptr;
    std::unique_ptr<desktop::WindowPublisher> m_publisher;
    bool m_unloaded = false;
    std::unique_ptr<OptionPanel> m_optionPanel;
    JobControls* m_job = nullptr;
    bool m_closeWaiting = false;
    // The menu commands the handshake disabled, with the state each had before.
    std::vector<std::pair<QAction*, bool>> m_linkDisabledActions;
};

} // namespace qln::viewer
