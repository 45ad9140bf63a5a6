#pragma once

// The main window: the attribute tree, the four tabs, the menus and the status bar. Window
// code only moves values between controls and the session, which does the work.

#include <QMainWindow>
#include <QSize>

#include <functional>
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
class Session;
struct TreeNode;
class OptionsTab;
class DescriptionTab;
class ReportsTab;
class NonTechReportsTab;
class OptionPanel;
class JobControls;
struct RatingJob;
struct JobResult;
class JobProgress;

// The window's size at start and its smallest size, in twips.
inline constexpr int kMinWidthTwips = 12000;
inline constexpr int kMinHeightTwips = 6820;

// Twips (1440 per inch) to pixels of the screen's logical resolution and back.
int twipsToPixels(int twips, double dotsPerInch);
int pixelsToTwips(int pixels, double dotsPerInch);

class frmQuillon : public QMainWindow {
    Q_OBJECT
public:
    explicit frmQuillon(Session& session);
    ~frmQuillon() override;

    Ui::frmQuillon& ui() { return *m_ui; }
    OptionsTab& optionsTab() { return *m_options; }
    DescriptionTab& descriptionTab() { return *m_description; }
    ReportsTab& reportsTab() { return *m_reports; }
    NonTechReportsTab& nonTechReportsTab() { return *m_nonTech; }
    Session& session() { return m_session; }

    // Creates the utilities, sets the caption and size, and gives the tree its images.
    int Form_Load();
    // Fills the tree and the survey-area list. 1, or the tree's failure.
    int SetMainFormValues();
    // Runs once, however the window goes: stops the registry watch, ends the GIS link,
    // releases the rules and the engine.
    void Form_Unload();
    // Whether the window has gone: closed by the user or told to end by the GIS.
    bool unloaded() const { return m_unloaded; }

    void EnableControls();
    void DisableControls();
    // The report tabs, their menus and the tree go together: usable only with a database.
    void enableDatabaseControls(bool on);
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
    // The process button: the selected attribute is rated on a worker thread with an
    // engine, connections and record sets of its own; the ratings come back whole and are
    // stored in MU_Data, then shown by the GIS. A cancelled run stores nothing.
    void cmdCreateDBFFile_Click();

    // The browse button and the change-database menu: a file chosen in any folder is checked
    // and, when valid, listed with its folder's soils files and opened.
    void cmdSelectFolder_Click();
    // A database chosen in the survey-area list (or remembered at start-up): checked unless
    // the browse button did so already, then opened.
    void cboSSAList_Click();
    // Makes fileName of the current folder the open soils database. 1, or -1 reported.
    int ResetTelvaConnection(const std::string& fileName);
    // Whether folder/fileName is a soils database (see Session::CheckValidMDB); the process
    // and report buttons are disabled while checking and get their states back after.
    bool CheckValidMDB(const std::string& folder, const std::string& fileName);

    // Captures the customer contact open in the mail client; when there is none, disables
    // both report tabs' address check boxes. Always true.
    bool CheckOutlookCustomer();
    // Reads the categories of the non-technical report into its tab, nothing selected. 1,
    // or -1 reported.
    int SetNonTechRSs();
    // The "Preview Report" buttons of the two report tabs.
    void cmdGenerateReport_Click();
    void cmdNonTechReport_Click();
    // The rating report of the map units ticked in dtSelectMU: 1 when the work was
    // started, -1 otherwise (refused with a box when nothing is ticked).
    int PopulateReport(const std::string& outputTable);
    // The non-technical report of the chosen categories and ticked map units.
    void PopulateNonTechReport();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void selectTab(const QString& caption);
    void showHelp(int tab);
    void addNodes(const std::vector<TreeNode>& nodes, QTreeWidgetItem* parent);
    int PopulateSSAList();
    // The survey-area list's choice opened; `checked` when the browse button has checked it.
    void openChosen(bool checked);
    // Runs work as a job and returns once it has ended, the window painting meanwhile.
    bool runAndWait(const std::string& caption, std::function<void(JobProgress&)> work,
                    std::function<void(const JobResult&)> done);
    // Enables or disables the process and report buttons together.
    void enableRunButtons(bool on);
    void startRating(const std::shared_ptr<RatingJob>& job);
    void showRun(const RatingJob& job);
    void finishRun();

    class Observer;
    Session& m_session;
    std::unique_ptr<Observer> m_observer;
    // Widths of the grids' tick, Survey Area and Map Unit columns, from the first fill.
    std::vector<int> m_mapunitColumnWidths;
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
