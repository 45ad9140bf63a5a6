// The viewer program as the soils map starts it, plus a driver for the end-to-end tests: a
// conversation "QuillonTest|driver" on which a test works the window's own controls.
// Start-up, the window and the link are the program's own; only the driver is added. Message
// boxes are written to standard error and answered with their default button, since nobody
// is there to click them.
//   DISPLAY <node key>|<method text>|<column>   asks the map to show the column
//   RESET                                       clicks "Delete Temporary Themes"
//   RUN <node key>|<column>|<ignore below %>    selects the attribute, sets its options,
//                                               names the column, clicks the process button
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
#include "modMain.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/dde/QtDde.h"
#include "ui_NonTechReportsTab.h"
#include "ui_OptionsTab.h"
#include "ui_ReportsTab.h"
#include "ui_frmQuillon.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <charconv>
#include <iostream>

namespace {

using qln::dde::Reply;

Reply display(qln::viewer::ViewerState& st, const std::string& fields)
{
    const auto first = fields.find('|');
    const auto last = fields.rfind('|');
    if (first == std::string::npos || first == last)
        return Reply::refuse("DISPLAY wants <node key>|<method text>|<column>");
    qln::viewer::link::SelectedAttribute selected;
    selected.nodeKey = fields.substr(0, first);
    selected.methodText = fields.substr(first + 1, last - first - 1);
    selected.column = fields.substr(last + 1);
    if (st.gisLink->Refresh_DDE_Data(st.rsAttributes, selected, st.settings.LegendFolder) != 1)
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

Reply run(qln::viewer::frmQuillon& form, const std::string& fields)
{
    const QStringList parts = QString::fromStdString(fields).split('|');
    if (parts.size() != 3) return Reply::refuse("RUN wants <node key>|<column>|<ignore below %>");
    QTreeWidgetItem* node = nullptr;
    for (QTreeWidgetItemIterator it(form.ui().tvInterps); *it && !node; ++it)
        if ((*it)->data(0, Qt::UserRole).toString() == parts[0]) node = *it;
    if (!node) return Reply::refuse("No attribute " + parts[0].toStdString() + " in the tree");
    form.ui().tvInterps->setCurrentItem(node);
    form.ui().SSTab1->setCurrentIndex(form.FindTabNumber("Options"));
    auto& options = form.optionsTab().ui();
    if (!options.chkIgnorePct->isEnabled()) return Reply::refuse("The attribute takes no \"ignore below\"");
    options.chkIgnorePct->setChecked(true);
    options.txtIgnorePct->setText(parts[2]);
    options.txtDBFColumn->setText(parts[1]);
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

    qln::viewer::ViewerState st;
    for (int i = 1; i < argc; ++i) st.commandLine += (i > 1 ? " " : "") + std::string(argv[i]);

    const std::unique_ptr<qln::viewer::frmQuillon> form = qln::viewer::Main(st);
    if (!form) return 1;

    qln::dde::QtServer driver("QuillonTest", "driver", [&](const std::string& command) {
        if (command.rfind("DISPLAY ", 0) == 0) return display(st, command.substr(8));
        if (command == "RESET") return click(form->ui().cmdRESET);
        if (command.rfind("RUN ", 0) == 0) return run(*form, command.substr(4));
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
