#pragma once

// The window's side of a background job: while it runs, the controls that would disturb it
// are disabled, the status bar shows "n of total" and a Cancel button, and whatever must
// wait for the job (closing the window, commands from the GIS) is kept until it has ended.

#include "BackgroundRun.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <initializer_list>
#include <vector>

class QAction;
class QLabel;
class QPushButton;
class QStatusBar;
class QWidget;

namespace qln::viewer {

class JobControls : public QObject {
    Q_OBJECT
public:
    // `widgets` and `actions` are disabled during a job and given back their own state after.
    JobControls(QStatusBar& statusBar, std::initializer_list<QWidget*> widgets, std::initializer_list<QAction*> actions,
                QObject* parent);

    // Runs `work` off the GUI thread with the controls disabled and the progress shown as
    // "n of total" beside Cancel (the caption is its tool tip). `done` runs on the GUI thread after the work has ended, still
    // counted as part of the job; then the controls come back and the kept actions run.
    // False, starting nothing, while a job is busy.
    bool start(const QString& caption, BackgroundRun::Work work, BackgroundRun::Done done);
    // Runs `work` as start() does and returns once `done` has run, turning the event loop
    // meanwhile so the window keeps painting: for work the caller needs ended before it goes
    // on. False, running nothing, while a job is busy.
    bool runAndWait(const QString& caption, BackgroundRun::Work work, BackgroundRun::Done done);
    // A job is running or its `done` has not returned yet.
    bool busy() const { return m_busy; }
    // Runs `action` now when no job is busy, else once it has ended, in the order given.
    void whenIdle(std::function<void()> action);
    // Presses Cancel.
    void cancel();

    BackgroundRun& run() { return m_run; }
    QPushButton& cancelButton() { return *m_cancel; }
    QLabel& progressLabel() { return *m_progress; }

private:
    void showProgress(const QString& stage, long done, long total);
    void end(const BackgroundRun::Done& done, const BackgroundRun::Result& result);

    BackgroundRun m_run;
    std::vector<QPointer<QWidget>> m_widgets;
    std::vector<QPointer<QAction>> m_actions;
    std::vector<bool> m_widgetWasEnabled;
    std::vector<bool> m_actionWasEnabled;
    QLabel* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_busy = false;
    std::vector<std::function<void()>> m_waiting;
};

} // namespace qln::viewer
