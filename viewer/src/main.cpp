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
    // The GIS starts the viewer with one quoted argument; its parts never hold blanks the
    // shell split, but join them back as the program received its line.
    for (int i = 1; i < argc; ++i) st.commandLine += (i > 1 ? " " : "") + std::string(argv[i]);

    const std::unique_ptr<qln::viewer::frmQuillon> form = qln::viewer::Main(st);
    if (!form) return 1;
    return QApplication::exec();
}
