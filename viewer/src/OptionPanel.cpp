#include "OptionPanel.h"

#include "DescriptionTab.h"
#include "OptionsTab.h"
#include "ReportsTab.h"
#include "frmQuillon.h"
#include "quillon/Text.h"
#include "quillon/viewer/Session.h"
#include "quillon/viewer/modGenericFunctions.h"
#include "ui_DescriptionTab.h"
#include "ui_OptionsTab.h"
#include "ui_ReportsTab.h"
#include "ui_frmQuillon.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

namespace qln::viewer {

using namespace reporting;

namespace {

constexpr int kMsgInvalidAlgorithm = 19;

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

OptionPanel::OptionPanel(Session& session, frmQuillon& form) : m_session(session), m_form(form)
{
    auto& o = form.optionsTab().ui();
    o.optHigher->setChecked(true);
    installInputFilters();
    connect(o.cboInterpOptions, &QComboBox::activated, this, [this] { cboInterpOptions_Click(); });
}

void OptionPanel::installInputFilters()
{
    auto& o = m_form.optionsTab().ui();
    // Validators hold for pasted text as well as typed keys.
    const QRegularExpression digits("[0-9]*");
    for (QLineEdit* depth : {o.txtMinDepth, o.txtMaxDepth}) {
        depth->setValidator(new QRegularExpressionValidator(digits, depth));
        // A number the box cannot hold is changed, and the note under the boxes says so
        // until either box is typed into again.
        connect(depth, &QLineEdit::editingFinished, this, [depth, &o] {
            const std::string note = depthChangeNote(depth->text().toStdString());
            depth->setText(qs(leaveDepthText(depth->text().toStdString())));
            if (note.empty()) return;
            o.lblDepthNote->setText(qs(note));
            o.lblDepthNote->show();
        });
        connect(depth, &QLineEdit::textEdited, o.lblDepthNote, &QWidget::hide);
    }
    o.txtIgnorePct->setValidator(new QRegularExpressionValidator(digits, o.txtIgnorePct));
    // The "0" that ticking puts into the box gives way to the first digit typed.
    o.txtIgnorePct->installEventFilter(this);
    connect(o.txtIgnorePct, &QLineEdit::editingFinished, this,
            [&o] { o.txtIgnorePct->setText(qs(leavePercentText(o.txtIgnorePct->text().toStdString()))); });
    // The percent counts only while its box is ticked: unticked, the box takes nothing.
    o.txtIgnorePct->setEnabled(o.chkIgnorePct->isChecked());
    connect(o.chkIgnorePct, &QCheckBox::toggled, this, [&o](bool on) {
        o.txtIgnorePct->setEnabled(on);
        if (on && o.txtIgnorePct->text().trimmed().isEmpty()) o.txtIgnorePct->setText("0");
    });
    o.txtDBFColumn->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Za-z_]*"), o.txtDBFColumn));
    connect(o.txtDBFColumn, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_outputColumn = text.toStdString(); });
}

bool OptionPanel::eventFilter(QObject* watched, QEvent* event)
{
    auto& o = m_form.optionsTab().ui();
    if (watched == o.txtIgnorePct && event->type() == QEvent::KeyPress && o.txtIgnorePct->text() == "0" &&
        !o.txtIgnorePct->hasSelectedText()) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (typed.size() == 1 && typed.front().isDigit()) o.txtIgnorePct->clear();
    }
    return QObject::eventFilter(watched, event);
}

void OptionPanel::tvInterps_NodeClick(QTreeWidgetItem* node)
{
    if (node) ProcessInterp(m_form.keyOf(node));
}

void OptionPanel::tvInterps_Collapse(QTreeWidgetItem* node)
{
    if (!node) return;
    // A collapsed folder is the selection: what was selected inside it is out of sight.
    {
        const QSignalBlocker blocker(m_form.ui().tvInterps);
        m_form.ui().tvInterps->setCurrentItem(node);
    }
    ProcessInterp(m_form.keyOf(node));
}

void OptionPanel::hideOptionControls()
{
    auto& o = m_form.optionsTab().ui();
    for (QWidget* w : {static_cast<QWidget*>(o.cboInterpOptions), static_cast<QWidget*>(o.lblInterpOptions),
                       static_cast<QWidget*>(o.txtDBFColumn), static_cast<QWidget*>(o.lblDBFColumn),
                       static_cast<QWidget*>(o.frmCompOptions), static_cast<QWidget*>(o.frmSoilLayer),
                       static_cast<QWidget*>(o.frmSeason), static_cast<QWidget*>(o.frmRate),
                       static_cast<QWidget*>(o.cboOptionList), static_cast<QWidget*>(o.lblOptionList)})
        w->hide();
}

void OptionPanel::followReportReady()
{
    auto& r = m_form.reportsTab().ui();
    const int tab = m_form.ui().SSTab1->currentIndex();
    if (tab == m_form.FindTabNumber("Reports")) r.cmdGenerateReport->setEnabled(m_reportReady);
    // The process button sits beside every tab: a folder can never be processed, whichever shows.
    if (!m_form.optionsTab().ui().cboSSAList->currentText().isEmpty())
        m_form.ui().cmdCreateDBFFile->setEnabled(m_reportReady);
}

void OptionPanel::ProcessInterp(const std::string& nodeKey)
{
    auto& o = m_form.optionsTab().ui();
    auto& r = m_form.reportsTab().ui();
    QTextBrowser* description = m_form.descriptionTab().ui().txtDescription;
    try {
        const ado::Recordset attribute = m_session.attributeRow(nodeKey);
        if (!attribute.eof()) {
            m_attributeSelected = true;
            m_attribute = attributeOptions(attribute, m_session.rsAlgorithms());
            o.txtDBFColumn->show();
            o.lblDBFColumn->show();
            const int status = SetValidOptions(nodeKey);
            if (!m_attribute.description.empty()) description->setPlainText(qs(m_attribute.description));
            if (status == 1) {
                m_waMultipliers = m_attribute.waMultipliers;
                o.txtDBFColumn->setText(qs(m_attribute.dbfColumn));
                m_outputColumn = m_attribute.dbfColumn;
            }
            r.frmReportOptions->setEnabled(true);
            r.chkMainDescription->setEnabled(true);
            r.chkInterpReason->setEnabled(true);
        } else {
            m_attributeSelected = false;
            m_attribute = AttributeOptions{};
            m_methodCode = -1;
            const ado::Recordset folder = m_session.folderRow(nodeKey);
            description->setPlainText(folder.eof() || folder.value("Description").isMissing()
                                          ? QString()
                                          : qs(folder.value("Description").text()));
            hideOptionControls();
            r.frmReportOptions->setEnabled(false);
            r.chkMainDescription->setEnabled(false);
            r.chkInterpReason->setEnabled(false);
            m_reportReady = false;
        }
    } catch (...) {
        m_session.reportCaughtError("ProcessInterp", "Unable to show the options of " + nodeKey + ".");
        m_reportReady = false;
    }
    followReportReady();
}

int OptionPanel::SetValidOptions(const std::string& nodeKey)
{
    auto& o = m_form.optionsTab().ui();
    {
        const QSignalBlocker blocker(o.cboInterpOptions);
        o.cboInterpOptions->clear();
        if (m_attribute.methods.empty()) {
            m_methodCode = -1;
            o.cboInterpOptions->hide();
            o.lblInterpOptions->hide();
        } else {
            for (const MethodOffer& method : m_attribute.methods) o.cboInterpOptions->addItem(qs(method.name));
            m_methodCode = m_attribute.methodCode;
            o.cboInterpOptions->setCurrentIndex(o.cboInterpOptions->findText(qs(m_attribute.methodName)));
            o.cboInterpOptions->show();
            o.lblInterpOptions->show();
        }
    }
    o.lblOptionList->setVisible(m_attribute.optionList);
    o.cboOptionList->setVisible(m_attribute.optionList);
    const int status = m_attribute.optionList ? PopulateOptionList(nodeKey) : 1;
    if (status == 1) {
        // The frames sit in one column: hidden ones take no room, so the shown ones stack.
        o.frmCompOptions->setVisible(m_attribute.compOptions);
        o.frmSoilLayer->setVisible(m_attribute.soilLayer);
        // An empty depth box reads as 0: show it so, as leaving the box would.
        for (QLineEdit* depth : {o.txtMinDepth, o.txtMaxDepth})
            if (depth->text().trimmed().isEmpty()) depth->setText("0");
        o.frmSeason->setVisible(m_attribute.season);
        o.frmRate->setVisible(showsRate(o.cboInterpOptions->currentText().toStdString(), m_attribute.ratelist));
        if (m_attribute.ratelist) {
            o.optLower->setText(qs(m_attribute.rateLow));
            o.optHigher->setText(qs(m_attribute.rateHigh));
        }
        m_reportReady = true;
        return 1;
    }
    m_reportReady = false;
    for (QWidget* frame : {static_cast<QWidget*>(o.frmCompOptions), static_cast<QWidget*>(o.frmSoilLayer),
                           static_cast<QWidget*>(o.frmSeason), static_cast<QWidget*>(o.frmRate)})
        frame->hide();
    return -1;
}

int OptionPanel::PopulateOptionList(const std::string& nodeKey)
{
    auto& o = m_form.optionsTab().ui();
    o.cboOptionList->clear();
    const std::optional<Session::OptionList> list = m_session.PopulateOptionList(nodeKey);
    if (!list) return -1;
    for (const std::string& item : list->items) o.cboOptionList->addItem(qs(item));
    if (o.cboOptionList->count() == 0) {
        m_session.reportInfo("PopulateOptionList", "No data for this attribute.");
        return -1;
    }
    // The run takes the list's name from this caption without its last character.
    o.lblOptionList->setText(qs(list->name + ":"));
    o.cboOptionList->setCurrentIndex(0);
    return 1;
}

void OptionPanel::setMonths(const std::vector<std::string>& months)
{
    auto& o = m_form.optionsTab().ui();
    o.cboBegMonth->clear();
    o.cboEndMonth->clear();
    for (const std::string& month : months) {
        o.cboBegMonth->addItem(qs(month));
        o.cboEndMonth->addItem(qs(month));
    }
    // The whole year until the user narrows it.
    o.cboBegMonth->setCurrentIndex(o.cboBegMonth->count() > 0 ? 0 : -1);
    o.cboEndMonth->setCurrentIndex(o.cboEndMonth->count() - 1);
}

void OptionPanel::cboInterpOptions_Click()
{
    auto& o = m_form.optionsTab().ui();
    const std::string name = o.cboInterpOptions->currentText().toStdString();
    const ado::Recordset method = m_session.algorithmRow(name);
    if (method.eof()) {
        m_session.reporter().cReportMsg(reporting::gmrERR, reporting::gmrDISP, "cboInterpOptions_Click", kMsgInvalidAlgorithm, 0, {});
        return;
    }
    const auto code = method.value("AlgorithmSeq").number();
    m_methodCode = code ? static_cast<long>(*code) : -1;
    if (m_outputColumn.size() >= 2) {
        const std::string renamed = replaceInitials(m_outputColumn, trimBlanks(method.value("Initials").text()));
        o.txtDBFColumn->setText(qs(renamed));
        m_outputColumn = renamed;
    }
    o.frmRate->setVisible(showsRate(name, m_attribute.ratelist));
}

OptionPanel::RunInputs OptionPanel::runOptions() const
{
    if (!m_attributeSelected)
        throw OptionError("Select an attribute in the tree; a folder cannot be processed.");
    auto& o = m_form.optionsTab().ui();
    PanelValues values;
    values.attribute = m_attribute.nodeKey;
    values.methodCode = m_methodCode;
    values.column = m_outputColumn;
    if (!o.cboOptionList->isHidden()) {
        const std::string caption = o.lblOptionList->text().toStdString();
        if (o.cboOptionList->currentText().isEmpty())
            throw OptionError("Choose an item of the list \"" + caption + "\".");
        values.list = ListChoice{caption.empty() ? caption : caption.substr(0, caption.size() - 1),
                                 o.cboOptionList->currentText().toStdString()};
    }
    if (!o.frmCompOptions->isHidden()) {
        values.nullsZero = o.chkSetNullsZero->isChecked();
        if (o.chkIgnorePct->isChecked()) values.ignorePct = o.txtIgnorePct->text().toStdString();
    }
    if (!o.frmSoilLayer->isHidden()) {
        values.topDepth = o.txtMinDepth->text().toStdString();
        values.bottomDepth = o.txtMaxDepth->text().toStdString();
    }
    const ado::Recordset& months = m_session.rsMonths();
    if (!o.frmSeason->isHidden() && months.isOpen() && months.recordCount() > 0) {
        values.beginMonth = GetMonthSeq(months, o.cboBegMonth->currentText().toStdString());
        values.endMonth = GetMonthSeq(months, o.cboEndMonth->currentText().toStdString());
    }
    if (!o.frmRate->isHidden()) values.rateLower = o.optLower->isChecked();
    RunInputs inputs{m_session.attributeRow(m_attribute.nodeKey), toRunOptions(values)};
    if (inputs.attribute.eof()) throw OptionError("The attribute " + m_attribute.nodeKey + " is not in the rules.");
    return inputs;
}

} // namespace qln::viewer
