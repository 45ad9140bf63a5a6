// The viewer program as the soils map starts it, plus a driver for the end-to-end test: a
// conversation "QuillonTest|driver" on which the test asks for what the process button
// does after storing a rating (the link's Refresh_DDE_Data) and presses the reset button.
// Start-up, the window and the link are the program's own; only the driver is added.
//   DISPLAY <node key>|<method text>|<column>   asks the map to show the column
//   RESET                                       clicks "Delete Temporary Themes"

#include "ReporterDisplay.h"
#include "frmQuillon.h"
#include "modMain.h"
#include "quillon/desktop/QtDesktop.h"
#include "quillon/dde/QtDde.h"
#include "ui_frmQuillon.h"

#include <QApplication>
#include <QPushButton>

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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qln::desktop::installQtHandlers();
    qln::reporter::setDisplayHandler(std::make_shared<qln::viewer::ReporterDisplay>());

    qln::viewer::ViewerState st;
    for (int i = 1; i < argc; ++i) st.commandLine += (i > 1 ? " " : "") + std::string(argv[i]);

    const std::unique_ptr<qln::viewer::frmQuillon> form = qln::viewer::Main(st);
    if (!form) return 1;

    qln::dde::QtServer driver("QuillonTest", "driver", [&](const std::string& command) {
        if (command.rfind("DISPLAY ", 0) == 0) return display(st, command.substr(8));
        if (command == "RESET") {
            QPushButton* reset = form->ui().cmdRESET;
            if (!reset->isVisible() || !reset->isEnabled())
                return Reply::refuse("The reset button is not available");
            reset->click();
            return Reply::ack();
        }
        return Reply::refuse("Unknown driver command: " + command);
    });
    return QApplication::exec();
}
