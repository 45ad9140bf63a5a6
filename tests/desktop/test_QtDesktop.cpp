#include "DesktopTest.h"

#include "quillon/desktop/QtDesktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

using namespace qln::desktop;

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "quillon_desktop_qt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Runs the GUI thread's event loop until done() holds, acting on every visible top-level
// widget of type Dialog with act (which closes it). A timer does the looking, so that it
// also runs inside the dialog's own modal event loop.
template <class Dialog>
void serveDialogs(const std::function<bool()>& done, const std::function<void(Dialog*)>& act)
{
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible()) act(dialog);
    });
    timer.start(20);
    while (!done()) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

std::optional<WindowInfo> findTitle(const std::string& title)
{
    for (auto& window : topLevelWindows())
        if (window.title == title) return window;
    return std::nullopt;
}

} // namespace

TEST(QtMessageBoxHandler, BoxAskedFromAWorkerIsShownOnTheGuiThreadAndAnswered)
{
    application();
    installQtHandlers();
    std::atomic<bool> finished = false;
    Button answer = Button::Ok;
    std::thread worker([&] {
        answer = messageBox({"Replace the results?", "Quillon", Buttons::YesNoCancel, Icon::Question});
        finished = true;
    });
    QString text, title;
    bool onGuiThread = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    serveDialogs<QMessageBox>([&] { return finished.load(); }, [&](QMessageBox* box) {
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        onGuiThread = box->thread() == QApplication::instance()->thread();
        box->button(QMessageBox::No)->click();
    });
    worker.join();
    EXPECT_EQ(answer, Button::No);
    EXPECT_EQ(text, "Replace the results?");
    EXPECT_EQ(title, "Quillon");
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(onGuiThread);
    setMessageBoxHandler(nullptr);
}

TEST(QtMessageBoxHandler, ClosingABoxAnswersCancelOrTheDefault)
{
    application();
    QtMessageBoxHandler handler;
    int closed = 0;
    QTimer::singleShot(0, [&] {
        serveDialogs<QMessageBox>([&] { return closed == 1; }, [&](QMessageBox* box) {
            ++closed;
            box->reject();
        });
    });
    EXPECT_EQ(handler.show({"Go on?", "Quillon", Buttons::YesNoCancel}), Button::Cancel);
    QTimer::singleShot(0, [&] {
        serveDialogs<QMessageBox>([&] { return closed == 2; }, [&](QMessageBox* box) {
            ++closed;
            box->reject();
        });
    });
    EXPECT_EQ(handler.show({"Delete?", "Quillon", Buttons::YesNo, Icon::None, 1}), Button::No);
}

TEST_F(DesktopTest, QtFileDialogReturnsTheChosenFileAndNothingOnCancel)
{
    application();
    const auto file = temp() / "soils.mdb";
    std::ofstream(file) << "x";
    installQtHandlers();
    const OpenFileRequest request{"Open", temp().path(), parseFilter("Microsoft Access file (*.mdb)|*.mdb")};

    std::optional<FileChoice> choice;
    std::atomic<bool> finished = false;
    QStringList filters;
    std::thread worker([&] {
        choice = openFile(request);
        finished = true;
    });
    serveDialogs<QFileDialog>([&] { return finished.load(); }, [&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        // selectFile types the name only while the name box lacks focus, which it takes as
        // the dialog becomes active: on a loaded machine before this runs.
        if (QWidget* focused = dialog->focusWidget()) focused->clearFocus();
        dialog->selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, checks the choice
    });
    worker.join();
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->fileName, "soils.mdb");
    EXPECT_EQ(choice->folder, temp().path().string() + "/");
    EXPECT_EQ(filters, QStringList{"Microsoft Access file (*.mdb)"});

    finished = false;
    std::thread cancelling([&] {
        choice = openFile(request);
        finished = true;
    });
    serveDialogs<QFileDialog>([&] { return finished.load(); }, [](QFileDialog* dialog) { dialog->reject(); });
    cancelling.join();
    EXPECT_FALSE(choice);
    setFileDialogHandler(nullptr);
}

TEST_F(DesktopTest, WindowPublisherFollowsTitleAndVisibilityAndGoesWithTheWidget)
{
    application();
    auto* window = new QWidget;
    window->setWindowTitle("Quillon");
    new WindowPublisher(window);
    ASSERT_TRUE(findTitle("Quillon"));
    EXPECT_FALSE(findTitle("Quillon")->visible);

    window->show();
    EXPECT_TRUE(findTitle("Quillon")->visible);
    window->setWindowTitle("Quillon - Disabled");
    EXPECT_FALSE(findTitle("Quillon"));
    EXPECT_TRUE(findTitle("Quillon - Disabled"));
    window->hide();
    EXPECT_FALSE(findTitle("Quillon - Disabled")->visible);

    delete window;
    EXPECT_TRUE(topLevelWindows().empty());
}

TEST(QtFileDialogHandler, FilterDescriptionGainsItsPatternsWhenItLacksThem)
{
    EXPECT_EQ(nameFilter({"Databases", {"*.mdb", "*.sqlite"}}), "Databases (*.mdb *.sqlite)");
    EXPECT_EQ(nameFilter({"Microsoft Access file (*.mdb)", {"*.mdb"}}), "Microsoft Access file (*.mdb)");
}
