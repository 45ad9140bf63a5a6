// The viewer program: start-up, then the window's events until it closes.

#include "ReporterDisplay.h"
#include "frmQuillon.h"
#include "modMain.h"
#include "quillon/desktop/QtDesktop.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qln::desktop::installQtHandlers();
    qln::reporter::setDisplayHandler(std::make_shared<qln::viewer::ReporterDisplay>());

    qln::viewer::ViewerState st;
    // The GIS passes one argument; should a shell have split it at blanks, join it again.
    for (int i = 1; i < argc; ++i) st.commandLine += (i > 1 ? " " : "") + std::string(argv[i]);

    const std::unique_ptr<qln::viewer::frmQuillon> form = qln::viewer::Main(st);
    if (!form) return 1;
    return QApplication::exec();
}
