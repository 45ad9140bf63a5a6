// The viewer program as the soils map starts it, plus a driver for the end-to-end tests: a
// conversation "QuillonTest|driver" on which a test works the window's own controls.
// Start-up, the window and the link are the program's own; only the driver is added. Message
// boxes are written to standard error and answered with their default button, since nobody
// is there to click them.
//   DISPLAY <node key>|<method text>|<column>   asks the map to show the column
//   RESET                                       clicks "Delete Temporary Themes"
//   RUN <node key>|<column>|<ignore below %>    selects the attribute, sets its options,
//                                               names the column, clicks the process button
//   ATTRIBUTES                                  writes "attribute: <node key>" for every
//                                               attribute node of the tree, in tree order
//   PROCESS <node key>|<column>                 selects the attribute, leaves its options as
//                                               the panel shows them and writes them as
//                                               "panel: ..." (see panelLine), names the
//                                               column, clicks the process button
//   IDLE                                        refused while a run or report is busy
//   TICK <survey area>|<count>                  ticks the first rows of the area on the
//                                               Reports tab, writing "ticked: <area> <symbol>"
//   REPORT <0|1>                                "Include Rating Reasons", then Preview Report
//   NONTECH <category>|<category>...            chooses the categories, then Preview Report

#include "JobControls.h"
#include "MapunitGrid.h"
#include "NonTechReportsTab.h"
#include "OptionsTab.h"
#include "ReportsTab.h"
#include "ReporterDisplay.h"
#include "frmQuillon.h"
#include "Startup.h"
#include "WindowLink.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/dde/QtDde.h"
#include "ui_NonTechReportsTab.h"
#include "ui_OptionsTab.h"
#include "ui_ReportsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <charconv>
#include <iostream>

namespace {

using qln::dde::Reply;

Reply display(qln::viewer::Session& session, const std::string& fields)
{
    const auto first = fields.find('|');
    const auto last = fields.rfind('|');
    if (first == std::string::npos || first == last)
        return Reply::refuse("DISPLAY wants <node key>|<method text>|<column>");
    qln::viewer::link::SelectedAttribute selected;
    selected.nodeKey = fields.substr(0, first);
    selected.methodText = fields.substr(first + 1, last - first - 1);
    selected.column = fields.substr(last + 1);
    if (qln::viewer::gisLinkOf(session)->Refresh_DDE_Data(session.rsAttributes(), selected,
                                                       session.settings().LegendFolder) != 1)
        return Reply::refuse("Refresh_DDE_Data failed");
    return Reply::ack();
}

// Clicks a button as the user would: only when it is shown and enabled.
Reply click(QPushButton* button)
{
    if (!button->isVisible() || !button->isEnabled())
        return Reply::refuse("The button \"" + button->text().toStdString() + "\" is not available");
    button->click();
    return Reply::ack();
}

QTreeWidgetItem* treeNode(qln::viewer::frmQuillon& form, const QString& key)
{
    for (QTreeWidgetItemIterator it(form.ui().tvInterps); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == key) return *it;
    return nullptr;
}

// Selects the attribute in the tree and shows its Options tab; false when the tree lacks it.
bool selectOnOptions(qln::viewer::frmQuillon& form, const QString& key)
{
    QTreeWidgetItem* node = treeNode(form, key);
    if (!node) return false;
    form.ui().tvInterps->setCurrentItem(node);
    form.ui().SSTab1->setCurrentIndex(form.FindTabNumber("Options"));
    return true;
}

Reply run(qln::viewer::frmQuillon& form, const std::string& fields)
{
    const QStringList parts = QString::fromStdString(fields).split('|');
    if (parts.size() != 3) return Reply::refuse("RUN wants <node key>|<column>|<ignore below %>");
    if (!selectOnOptions(form, parts[0]))
        return Reply::refuse("No attribute " + parts[0].toStdString() + " in the tree");
    auto& options = form.optionsTab().ui();
    if (!options.chkIgnorePct->isEnabled()) return Reply::refuse("The attribute takes no \"ignore below\"");
    options.chkIgnorePct->setChecked(true);
    options.txtIgnorePct->setText(parts[2]);
    options.txtDBFColumn->setText(parts[1]);
    return click(form.ui().cmdCreateDBFFile);
}

// Attribute nodes are those whose key is a row of the rules' Attributes; the rest are folders.
Reply listAttributes(qln::viewer::frmQuillon& form, const qln::viewer::Session& session)
{
    for (QTreeWidgetItemIterator it(form.ui().tvInterps); *it; ++it) {
        const std::string key = form.keyOf(*it);
        if (!session.attributeRow(key).eof()) std::cout << "attribute: " << key << std::endl;
    }
    return Reply::ack();
}

// The options as the panel shows them, one field per control group, empty when hidden:
// "panel: key|method|top|bottom|begin month|end month|ignore below %|nulls as zero (0/1)|
// list label=item|rate (lower/higher)". The caller turns them into quillon-rate's options.
std::string panelLine(qln::viewer::frmQuillon& form, const std::string& key)
{
    auto& o = form.optionsTab().ui();
    const auto shown = [](const QWidget* w) { return !w->isHidden(); };
    const auto text = [](const QString& t) { return t.toStdString(); };
    std::string line = "panel: " + key;
    line += "|" + (shown(o.cboInterpOptions) ? text(o.cboInterpOptions->currentText()) : "");
    const bool layer = shown(o.frmSoilLayer), season = shown(o.frmSeason), comp = shown(o.frmCompOptions);
    line += "|" + (layer ? text(o.txtMinDepth->text()) : "") + "|" + (layer ? text(o.txtMaxDepth->text()) : "");
    line += "|" + (season ? text(o.cboBegMonth->currentText()) : "") + "|" +
            (season ? text(o.cboEndMonth->currentText()) : "");
    line += "|" + (comp && o.chkIgnorePct->isChecked() ? text(o.txtIgnorePct->text()) : "");
    line += "|" + (comp ? std::string(o.chkSetNullsZero->isChecked() ? "1" : "0") : "");
    QString label = o.lblOptionList->text();
    label.chop(1);  // the caption ends in ":"
    line += "|" + (shown(o.cboOptionList) ? text(label + "=" + o.cboOptionList->currentText()) : "");
    line += "|" + (shown(o.frmRate) ? std::string(o.optLower->isChecked() ? "lower" : "higher") : "");
    return line;
}

Reply process(qln::viewer::frmQuillon& form, const std::string& fields)
{
    const QStringList parts = QString::fromStdString(fields).split('|');
    if (parts.size() != 2) return Reply::refuse("PROCESS wants <node key>|<column>");
    if (!selectOnOptions(form, parts[0]))
        return Reply::refuse("No attribute " + parts[0].toStdString() + " in the tree");
    std::cout << panelLine(form, parts[0].toStdString()) << std::endl;
    form.optionsTab().ui().txtDBFColumn->setText(parts[1]);
    return click(form.ui().cmdCreateDBFFile);
}

Reply tick(qln::viewer::frmQuillon& form, const std::string& fields)
{
    using qln::viewer::MapunitListModel;
    const auto bar = fields.find('|');
    int count = 0;
    if (bar == std::string::npos ||
        std::from_chars(fields.data() + bar + 1, fields.data() + fields.size(), count).ec != std::errc() || count < 1)
        return Reply::refuse("TICK wants <survey area>|<count>");
    const QString area = QString::fromStdString(fields.substr(0, bar));
    auto& model = form.reportsTab().grid().model();
    for (int row = 0; row < model.rowCount() && count > 0; ++row) {
        if (model.index(row, MapunitListModel::SurveyArea).data().toString() != area) continue;
        if (!model.setData(model.index(row, MapunitListModel::Tick), Qt::Checked, Qt::CheckStateRole))
            return Reply::refuse("The grid refused a tick of " + area.toStdString());
        std::cout << "ticked: " << area.toStdString() << ' '
                  << model.index(row, MapunitListModel::MapUnit).data().toString().toStdString() << std::endl;
        --count;
    }
    return count == 0 ? Reply::ack() : Reply::refuse("Too few map units of " + area.toStdString() + " listed");
}

Reply nonTech(qln::viewer::frmQuillon& form, const std::string& fields)
{
    // Showing the tab reads its categories.
    form.ui().SSTab1->setCurrentIndex(form.FindTabNumber("Non-Tech Reports"));
    auto& ui = form.nonTechReportsTab().ui();
    ui.lstCategories->clearSelection();
    for (const QString& category : QString::fromStdString(fields).split('|')) {
        const auto found = ui.lstCategories->findItems(category, Qt::MatchExactly);
        if (found.isEmpty()) return Reply::refuse("No report category " + category.toStdString());
        found.first()->setSelected(true);
    }
    return click(ui.cmdNonTechReport);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qln::desktop::installQtHandlers();
    qln::desktop::setMessageBoxHandler(qln::desktop::standardErrorMessageBoxes());
    qln::reporter::setDisplayHandler(std::make_shared<qln::viewer::ReporterDisplay>());

    qln::viewer::Session session;
    for (int i = 1; i < argc; ++i) session.commandLine += (i > 1 ? " " : "") + std::string(argv[i]);

    const std::unique_ptr<qln::viewer::frmQuillon> form = qln::viewer::Main(session);
    if (!form) return 1;

    qln::dde::QtServer driver("QuillonTest", "driver", [&](const std::string& command) {
        if (command.rfind("DISPLAY ", 0) == 0) return display(session, command.substr(8));
        if (command == "RESET") return click(form->ui().cmdRESET);
        if (command.rfind("RUN ", 0) == 0) return run(*form, command.substr(4));
        if (command == "ATTRIBUTES") return listAttributes(*form, session);
        if (command.rfind("PROCESS ", 0) == 0) return process(*form, command.substr(8));
        if (command == "IDLE")
            return form->jobControls().busy() ? Reply::refuse("busy") : Reply::ack();
        if (command.rfind("TICK ", 0) == 0) return tick(*form, command.substr(5));
        if (command == "REPORT 0" || command == "REPORT 1") {
            form->ui().SSTab1->setCurrentIndex(form->FindTabNumber("Reports"));
            form->reportsTab().ui().chkInterpReason->setChecked(command.back() == '1');
            return click(form->reportsTab().ui().cmdGenerateReport);
        }
        if (command.rfind("NONTECH ", 0) == 0) return nonTech(*form, command.substr(8));
        return Reply::refuse("Unknown driver command: " + command);
    });
    return QApplication::exec();
}
