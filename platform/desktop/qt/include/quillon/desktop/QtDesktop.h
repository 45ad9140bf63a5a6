#pragma once

// The Qt side of the desktop services, for GUI programs.
//   installQtHandlers()        message boxes as QMessageBox and the open dialog as
//                              QFileDialog, shown on the GUI thread whatever thread asks
//   new WindowPublisher(w)     keeps w's entry in the window directory in step with its
//                              title, visibility and activation; goes with the widget

#include "quillon/desktop/FileDialog.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/desktop/WindowDirectory.h"

#include <QObject>

#include <memory>

class QWidget;

namespace qln::desktop {

// A thread other than the GUI thread waits until the user has answered; the GUI thread
// must be running its event loop then. Without a QApplication the standard-error handler
// answers.
class QtMessageBoxHandler final : public MessageBoxHandler {
public:
    Button show(const MessageBoxRequest& request) override;
};

class QtFileDialogHandler final : public FileDialogHandler {
public:
    std::optional<std::filesystem::path> openFile(const OpenFileRequest& request) override;
};

// Installs both handlers above for the process.
void installQtHandlers();

// "Microsoft Access file (*.mdb)" and its patterns as a QFileDialog name filter.
QString nameFilter(const FileFilter& filter);

// Publishes a top-level widget in the window directory for as long as the widget lives.
// A failure to write the entry is a warning on standard error, never an exception
// through Qt's event loop.
class WindowPublisher final : public QObject {
public:
    // Throws DesktopError when the first entry cannot be written.
    explicit WindowPublisher(QWidget* window);
    ~WindowPublisher() override;

    const PublishedWindow& entry() const { return *m_entry; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();

    QWidget* m_window;
    std::unique_ptr<PublishedWindow> m_entry;
};

} // namespace qln::desktop
