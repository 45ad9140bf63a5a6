#include "JobControls.h"

#include <QAction>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>

namespace qln::viewer {

JobControls::JobControls(QStatusBar& statusBar, std::initializer_list<QWidget*> widgets,
                         std::initializer_list<QAction*> actions, QObject* parent)
    : QObject(parent), m_run(this)
{
    for (QWidget* w : widgets) m_widgets.emplace_back(w);
    for (QAction* a : actions) m_actions.emplace_back(a);

    m_progress = new QLabel(&statusBar);
    m_progress->setObjectName("lblJobProgress");
    m_cancel = new QPushButton("Cancel", &statusBar);
    m_cancel->setObjectName("cmdCancelJob");
    m_cancel->setToolTip("Stop the run; nothing of it is stored.");
    statusBar.addPermanentWidget(m_progress);
    statusBar.addPermanentWidget(m_cancel);
    m_progress->hide();
    m_cancel->hide();

    connect(m_cancel, &QPushButton::clicked, this, &JobControls::cancel);
    connect(&m_run, &BackgroundRun::progressed, this, &JobControls::showProgress);
}

bool JobControls::start(const QString& caption, BackgroundRun::Work work, BackgroundRun::Done done)
{
    if (m_busy) return false;
    m_busy = true;

    // A widget's own setting, not what its parent imposes, is what comes back afterwards.
    m_widgetWasEnabled.clear();
    for (const auto& w : m_widgets) {
        m_widgetWasEnabled.push_back(w && !w->testAttribute(Qt::WA_ForceDisabled));
        if (w) w->setEnabled(false);
    }
    m_actionWasEnabled.clear();
    for (const auto& a : m_actions) {
        m_actionWasEnabled.push_back(a && a->isEnabled());
        if (a) a->setEnabled(false);
    }
    // The status text says what runs; the label beside Cancel only counts.
    m_progress->setToolTip(caption);
    m_progress->setText(QString());
    m_progress->show();
    m_cancel->setEnabled(true);
    m_cancel->show();

    m_run.start(std::move(work), [this, done = std::move(done)](const BackgroundRun::Result& result) { end(done, result); });
    return true;
}

bool JobControls::runAndWait(const QString& caption, BackgroundRun::Work work, BackgroundRun::Done done)
{
    QEventLoop loop;
    bool ended = false;
    const bool started = start(caption, std::move(work), [&](const BackgroundRun::Result& result) {
        if (done) done(result);
        ended = true;
        loop.quit();
    });
    if (started && !ended) loop.exec();
    return started;
}

void JobControls::cancel()
{
    if (!m_run.isRunning()) return;
    m_run.cancel();
    m_cancel->setEnabled(false);
    m_progress->setText("Cancelling ...");
}

void JobControls::showProgress(const QString& stage, long done, long total)
{
    if (!m_cancel->isEnabled()) return;  // cancelling: keep saying so
    // Without a total the count is of rows read by a query.
    const QString count = total > 0  ? QString("%1 of %2").arg(done).arg(total)
                          : done > 0 ? QString("%1 rows read").arg(done)
                                     : QString();
    m_progress->setText(stage.isEmpty() ? count : (count.isEmpty() ? stage : stage + " " + count));
}

void JobControls::end(const BackgroundRun::Done& done, const BackgroundRun::Result& result)
{
    m_cancel->hide();
    m_progress->hide();
    // The job's own ending (storing, prompts) runs with the controls still held.
    if (done) done(result);
    for (std::size_t i = 0; i < m_widgets.size(); ++i) {
        if (m_widgets[i]) m_widgets[i]->setEnabled(m_widgetWasEnabled[i]);
    }
    for (std::size_t i = 0; i < m_actions.size(); ++i) {
        if (m_actions[i]) m_actions[i]->setEnabled(m_actionWasEnabled[i]);
    }
    m_busy = false;
    // An action may start the next job: the rest then wait for that one.
    while (!m_waiting.empty() && !m_busy) {
        std::function<void()> action = std::move(m_waiting.front());
        m_waiting.erase(m_waiting.begin());
        action();
    }
}

void JobControls::whenIdle(std::function<void()> action)
{
    if (m_busy)
        m_waiting.push_back(std::move(action));
    else
        action();
}

} // namespace qln::viewer
