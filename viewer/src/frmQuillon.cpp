#include "frmQuillon.h"

#include "DescriptionTab.h"
#include "NonTechReportsTab.h"
#include "OptionPanel.h"
#include "OptionsTab.h"
#include "ReportsTab.h"
#include "frmAbout.h"
#include "frmHelp.h"
#include "JobControls.h"
#include "MapunitGrid.h"
#include "WindowLink.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/viewer/RulesTree.h"
#include "quillon/viewer/Session.h"
#include "quillon/viewer/SurveyAreaList.h"
#include "ui_OptionsTab.h"
#include "ui_NonTechReportsTab.h"
#include "ui_ReportsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QStyle>

namespace qln::viewer {

using namespace reporting;

namespace {

constexpr int kMsgText = 1;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kExpandedImageRole = Qt::UserRole + 2;
constexpr int kKeyRole = Qt::UserRole;

double screenDpi(const QWidget* widget)
{
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

// The tree's image list: each name with the picture the tree draws for it.
QIcon imageOf(const QString& name)
{
    QStyle* style = QApplication::style();
    if (name == kClosedFolder) return style->standardIcon(QStyle::SP_DirClosedIcon);
    if (name == kOpenFolder) return style->standardIcon(QStyle::SP_DirOpenIcon);
    if (name == kWorld) return style->standardIcon(QStyle::SP_DriveNetIcon);
    if (name == kBlueArrow) return style->standardIcon(QStyle::SP_ArrowForward);
    return style->standardIcon(QStyle::SP_ArrowRight);
}

// A node shows its own image, and its expanded image while selected.
QIcon nodeIcon(const QString& image, const QString& selected)
{
    QIcon icon;
    for (const QSize size : {QSize(16, 16), QSize(32, 32)}) {
        icon.addPixmap(imageOf(image).pixmap(size), QIcon::Normal);
        icon.addPixmap(imageOf(selected).pixmap(size), QIcon::Selected);
    }
    return icon;
}

} // namespace

// What the window shows of the session.
class frmQuillon::Observer final : public SessionObserver {
public:
    explicit Observer(frmQuillon& form) : m_form(form) {}

    void statusChanged(const std::string& text) override { m_form.setStatusText(QString::fromStdString(text)); }
    void mapunitListChanged() override
    {
        // The previous database's list must not stay on screen, ticks and all.
        m_form.m_nonTech->setCategories({});
        m_form.m_reports->ui().cmdRepShowMU->setChecked(false);
        m_form.m_nonTech->ui().cmdRepNTShowMU->setChecked(false);
        for (MapunitGrid* grid : {&m_form.m_reports->grid(), &m_form.m_nonTech->grid()})
            grid->bind(m_form.m_session.mapunitList(), m_form.m_mapunitColumnWidths);
    }
    void monthsChanged(const std::vector<std::string>& months) override { m_form.m_optionPanel->setMonths(months); }
    void databaseControlsEnabled(bool on) override { m_form.enableDatabaseControls(on); }

private:
    frmQuillon& m_form;
};

int twipsToPixels(int twips, double dotsPerInch)
{
    return static_cast<int>(twips * dotsPerInch / 1440.0 + 0.5);
}

int pixelsToTwips(int pixels, double dotsPerInch)
{
    return static_cast<int>(pixels * 1440.0 / dotsPerInch + 0.5);
}

frmQuillon::frmQuillon(Session& session)
    : m_session(session), m_observer(std::make_unique<Observer>(*this)), m_ui(std::make_unique<Ui::frmQuillon>())
{
    m_session.setObserver(m_observer.get());
    m_ui->setupUi(this);
    m_options = new OptionsTab(m_ui->SSTab1);
    m_description = new DescriptionTab(m_ui->SSTab1);
    m_reports = new ReportsTab(m_ui->SSTab1);
    m_nonTech = new NonTechReportsTab(m_ui->SSTab1);
    m_ui->SSTab1->addTab(m_options, "Options");
    m_ui->SSTab1->addTab(m_description, "Description");
    m_ui->SSTab1->addTab(m_reports, "Reports");
    m_ui->SSTab1->addTab(m_nonTech, "Non-Tech Reports");
    m_ui->imgVertSplitter->setStretchFactor(1, 2);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName("StatusBar1Text");
    m_ui->StatusBar1->addWidget(m_statusLabel, 1);

    m_job = new JobControls(*m_ui->StatusBar1,
                            {m_ui->tvInterps, m_ui->SSTab1, m_options->ui().cboSSAList, m_options->ui().cmdSelectFolder,
                             m_ui->cmdRESET, m_ui->cmdCreateDBFFile},
                            {m_ui->mnuChangeDatabase}, this);

    connect(m_ui->SSTab1, &QTabWidget::currentChanged, this, &frmQuillon::SSTab1_Click);
    connect(m_ui->mnuFileOptions, &QAction::triggered, this, [this] { selectTab("Options"); });
    connect(m_ui->mnuFileDescription, &QAction::triggered, this, [this] { selectTab("Description"); });
    connect(m_ui->mnuFileReport, &QAction::triggered, this, [this] { selectTab("Reports"); });
    connect(m_ui->mnuFileNonTechReports, &QAction::triggered, this, [this] { selectTab("Non-Tech Reports"); });
    connect(m_ui->mnuChangeDatabase, &QAction::triggered, this, [this] { m_options->ui().cmdSelectFolder->click(); });
    connect(m_ui->mnuFileExit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->mnuHelpContents, &QAction::triggered, this, [this] { showHelp(frmHelp::Contents); });
    connect(m_ui->mnuHelpIndex, &QAction::triggered, this, [this] { showHelp(frmHelp::Index); });
    connect(m_ui->mnuHelpSearch, &QAction::triggered, this, [this] { showHelp(frmHelp::Search); });
    connect(m_ui->mnuHelpAbout, &QAction::triggered, this, [this] {
        frmAbout about(m_session, this);
        about.exec();
    });
    connect(m_ui->cmdRESET, &QPushButton::clicked, this, &frmQuillon::cmdRESET_Click);
    m_optionPanel = std::make_unique<OptionPanel>(m_session, *this);
    // The rating report rates with the same choices as the process button.
    m_session.reportUserData = [this] { return m_session.SetUserDataRS(m_optionPanel->runOptions().options); };
    connect(m_ui->tvInterps, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { m_optionPanel->tvInterps_NodeClick(node); });
    connect(m_ui->tvInterps, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* node) { m_optionPanel->tvInterps_Collapse(node); });
    connect(m_options->ui().cboSSAList, &QComboBox::activated, this, [this] { cboSSAList_Click(); });
    connect(m_options->ui().cmdSelectFolder, &QToolButton::clicked, this, [this] { cmdSelectFolder_Click(); });
    connect(m_reports->ui().cmdGenerateReport, &QPushButton::clicked, this, [this] { cmdGenerateReport_Click(); });
    connect(m_nonTech->ui().cmdNonTechReport, &QPushButton::clicked, this, [this] { cmdNonTechReport_Click(); });
    connect(m_ui->cmdCreateDBFFile, &QPushButton::clicked, this, &frmQuillon::cmdCreateDBFFile_Click);
    connect(m_ui->tvInterps, &QTreeWidget::itemExpanded, this, [](QTreeWidgetItem* item) {
        item->setIcon(0, nodeIcon(item->data(0, kExpandedImageRole).toString(), item->data(0, kExpandedImageRole).toString()));
    });
    connect(m_ui->tvInterps, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
        item->setIcon(0, nodeIcon(item->data(0, kImageRole).toString(), item->data(0, kExpandedImageRole).toString()));
    });
}

frmQuillon::~frmQuillon()
{
    // A job still running is cancelled and waited for before what it may use goes.
    delete m_job;
    m_job = nullptr;
    Form_Unload();
    m_session.setObserver(nullptr);
}

int frmQuillon::Form_Load()
{
    m_session.createUtilities();
    setWindowTitle("Quillon");
    EnableDataOptionsTab();
    const double dpi = screenDpi(this);
    resize(twipsToPixels(kMinWidthTwips, dpi), twipsToPixels(kMinHeightTwips, dpi));
    setMinimumSize(twipsToPixels(kMinWidthTwips, dpi), twipsToPixels(kMinHeightTwips, dpi));
    // The tree keeps room for its names; the tabs take the rest and every later change of width.
    const int tree = m_ui->tvInterps->sizeHint().width();
    m_ui->imgVertSplitter->setSizes({tree, width() - tree});
    m_ui->tvInterps->setIconSize(QSize(16, 16));
    // From now on the window is in the desktop's window list, hidden until shown: a copy
    // started meanwhile sees it.
    m_publisher = std::make_unique<desktop::WindowPublisher>(this);
    return 1;
}

int frmQuillon::SetMainFormValues()
{
    int status = -1;
    std::vector<TreeNode> tree;
    try {
        tree = Fill_TreeView(m_session.rsFolders(), m_session.rsAttributes(), kRootKey);
        status = 1;
    } catch (const std::exception& error) {
        m_session.reporter().cReportMsg(reporting::gmrERR, reporting::gmrLOG, "Fill_TreeView", kMsgText, 0, {std::string(error.what())});
    }
    if (status != 1) {
        m_session.reporter().cReportMsg(reporting::gmrERR, reporting::gmrDISP, "SetMainFormValues", kMsgText, 0,
                                  {"Error occurred populating interpretation list.  Contact the Help Desk or your "
                                   "support person."});
        return status;
    }
    m_ui->tvInterps->clear();
    addNodes(tree, nullptr);
    QTreeWidgetItem* first = m_ui->tvInterps->topLevelItem(0);
    m_ui->tvInterps->setCurrentItem(first);
    if (PopulateSSAList() == 1) m_ui->tvInterps->setCurrentItem(first);
    return 1;
}

void frmQuillon::addNodes(const std::vector<TreeNode>& nodes, QTreeWidgetItem* parent)
{
    for (const TreeNode& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_ui->tvInterps);
        item->setText(0, QString::fromStdString(node.caption));
        item->setData(0, kKeyRole, QString::fromStdString(node.key));
        item->setData(0, kImageRole, QString::fromStdString(node.image));
        item->setData(0, kExpandedImageRole, QString::fromStdString(node.expandedImage));
        item->setIcon(0, nodeIcon(QString::fromStdString(node.image), QString::fromStdString(node.expandedImage)));
        addNodes(node.children, item);
    }
}

int frmQuillon::PopulateSSAList()
{
    try {
        Settings& settings = m_session.settings();
        const SurveyAreaList list = viewer::PopulateSSAList(settings.soilsDataFolder, settings[Setting::SoilsDataFile]);
        settings.soilsDataFolder = list.folder.string();
        QComboBox* box = m_options->ui().cboSSAList;
        box->clear();
        for (const std::string& file : list.files) box->addItem(QString::fromStdString(file));
        box->setCurrentIndex(list.selected ? static_cast<int>(*list.selected) : -1);
        if (list.files.empty())
            m_session.reporter().cReportMsg(reporting::gmrINFO, reporting::gmrDISP, "PopulateSSAList", kMsgText, 0,
                                            {"There are no valid soil databases in current default folder.  Select valid "
                                       "database on Options Tab."});
        return 1;
    } catch (...) {
        m_session.reportCaughtError("PopulateSSAList", "Unable to list the soils databases.");
        return -1;
    }
}

void frmQuillon::Form_Unload()
{
    if (m_unloaded) return;
    m_unloaded = true;
    // Errors are ignored throughout: the window goes whatever fails.
    try {
        if (m_session.hasUtilities()) m_session.genutils().cStopRegChangeNotifications();
    } catch (...) {
    }
    if (link::GisLink* gis = gisLinkOf(m_session)) {
        // No handshake reading may reach a window that is going.
        gis->Timer1().stop();
        try {
            gis->End_DDE_Connection();
        } catch (...) {
        }
    }
    m_session.releaseRules();
    m_publisher.reset();
}

void frmQuillon::closeEvent(QCloseEvent* event)
{
    // A run holds the engine and the results database: the window goes once it has ended.
    if (m_job && m_job->busy()) {
        event->ignore();
        if (!m_closeWaiting) {
            m_closeWaiting = true;
            m_job->whenIdle([this] {
                m_closeWaiting = false;
                close();
            });
        }
        return;
    }
    Form_Unload();
    event->accept();
}

void frmQuillon::enableDatabaseControls(bool on)
{
    m_ui->SSTab1->setTabEnabled(2, on);
    m_ui->SSTab1->setTabEnabled(3, on);
    m_ui->mnuFileReport->setEnabled(on);
    m_ui->mnuFileNonTechReports->setEnabled(on);
    m_ui->tvInterps->setEnabled(on);
}

void frmQuillon::DisableControls()
{
    m_ui->cmdCreateDBFFile->setEnabled(false);
    m_ui->tvInterps->setEnabled(false);
    m_ui->cmdRESET->setEnabled(false);
}

void frmQuillon::EnableControls()
{
    m_ui->cmdCreateDBFFile->setEnabled(true);
    m_ui->tvInterps->setEnabled(true);
    m_ui->cmdRESET->setEnabled(true);
}

void frmQuillon::setLinkEnabled(bool enabled)
{
    centralWidget()->setEnabled(enabled);
    if (!enabled && m_linkDisabledActions.empty()) {
        for (QAction* action : m_ui->mnuFile->actions()) {
            if (action == m_ui->mnuFileExit || action->isSeparator()) continue;
            m_linkDisabledActions.emplace_back(action, action->isEnabled());
            action->setEnabled(false);
        }
    } else if (enabled) {
        for (const auto& [action, was] : m_linkDisabledActions) action->setEnabled(was);
        m_linkDisabledActions.clear();
    }
}

namespace {

void setTabStop(std::initializer_list<QWidget*> widgets, bool on)
{
    for (QWidget* w : widgets) w->setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

} // namespace

void frmQuillon::EnableDataOptionsTab()
{
    auto& o = m_options->ui();
    setTabStop({o.cboSSAList, o.txtDBFColumn, o.chkSetNullsZero, o.chkIgnorePct, o.txtIgnorePct, o.cboOptionList}, true);
}

void frmQuillon::DisableDataOptionsTab()
{
    auto& o = m_options->ui();
    setTabStop({o.cboSSAList, o.txtDBFColumn, o.chkSetNullsZero, o.chkIgnorePct, o.txtIgnorePct, o.cboOptionList}, false);
}

int frmQuillon::FindTabNumber(const QString& caption) const
{
    for (int i = 0; i < m_ui->SSTab1->count(); ++i) {
        if (m_ui->SSTab1->tabText(i) == caption) return i;
    }
    return -1;
}

void frmQuillon::SSTab1_Click(int index)
{
    const int reports = FindTabNumber("Reports");
    const int nonTech = FindTabNumber("Non-Tech Reports");
    const int description = FindTabNumber("Description");
    m_reports->ui().cmdGenerateReport->setEnabled(false);
    if (index == reports) {
        m_reports->ui().cmdGenerateReport->setEnabled(m_optionPanel->reportReady());
        DisableDataOptionsTab();
    } else if (index == nonTech) {
        if (!m_session.nonTechRSs()) SetNonTechRSs();
        DisableDataOptionsTab();
    } else if (index == description) {
        DisableDataOptionsTab();
    } else {
        EnableDataOptionsTab();
    }
    // The layout follows the tab change by itself.
}

void frmQuillon::selectTab(const QString& caption)
{
    const int index = FindTabNumber(caption);
    if (index >= 0) m_ui->SSTab1->setCurrentIndex(index);
}

void frmQuillon::cmdRESET_Click()
{
    // Leaving the active box runs its pending validation first.
    if (QWidget* focus = QApplication::focusWidget()) focus->clearFocus();
    SessionLink* link = m_session.link();
    if ((!link || link->Reset_DDE_Data() == 1) && m_session.OverwriteOutputDB() == 1)
        ResetTelvaConnection(m_options->ui().cboSSAList->currentText().toStdString());
    activateWindow();
}

void frmQuillon::setStatusText(const QString& text)
{
    m_statusLabel->setText(text);
}

void frmQuillon::setStatusBold(bool bold)
{
    QFont font = m_statusLabel->font();
    font.setBold(bold);
    m_statusLabel->setFont(font);
}

QString frmQuillon::statusText() const
{
    return m_statusLabel->text();
}

QSize frmQuillon::sizeInTwips() const
{
    const double dpi = screenDpi(this);
    return {pixelsToTwips(width(), dpi), pixelsToTwips(height(), dpi)};
}

QString frmQuillon::resizedText() const
{
    const QSize twips = sizeInTwips();
    return QString("Screen may be resized. (%1,%2)").arg(twips.width()).arg(twips.height());
}

std::string frmQuillon::keyOf(const QTreeWidgetItem* node) const
{
    return node ? node->data(0, kKeyRole).toString().toStdString() : std::string();
}

std::string frmQuillon::selectedKey() const
{
    return keyOf(m_ui->tvInterps->currentItem());
}

QString frmQuillon::selectedImage() const
{
    const QTreeWidgetItem* item = m_ui->tvInterps->currentItem();
    return item ? item->data(0, kImageRole).toString() : QString();
}

void frmQuillon::showHelp(int tab)
{
    if (m_session.settings().helpFile.empty()) return;
    frmHelp::showBook(QString::fromStdString(m_session.settings().helpFile), static_cast<frmHelp::Tab>(tab), this);
}

} // namespace qln::viewer
