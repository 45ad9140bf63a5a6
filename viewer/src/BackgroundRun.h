#pragma once

// One long job at a time off the GUI thread: a rating run or a report. The job gets a
// context it polls for Cancel and tells its progress; the window hears progress and the
// end through queued signals on its own thread, so it keeps painting and never waits.
//
// Threading contract: start(), cancel() and the destructor are called on the thread that
// owns the object (the GUI thread); the work runs on a thread of its own and must touch no
// widget and no object the GUI thread uses: hand it connections and record sets of its
// own, whole, and take its result back in `done`.

#include "quillon/viewer/JobProgress.h"

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class QThread;

namespace qln::viewer {

class BackgroundRun : public QObject {
    Q_OBJECT
public:
    // What the work sees of the window.
    class Context final : public JobProgress {
    public:
        bool cancelled() const noexcept override;
        // The window is told the latest values at most once per turn of its event loop.
        void progress(long done, long total) noexcept override;
        void stage(const char* name) noexcept override;

    private:
        friend class BackgroundRun;
        struct Shared;
        explicit Context(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
        std::shared_ptr<Shared> m_shared;
    };

    // How a job ended: see JobResult. Cancel wins, so a job that ends after Cancel was
    // pressed keeps nothing but what the work had already committed.
    using Outcome = JobOutcome;
    using Result = JobResult;

    using Work = std::function<void(Context&)>;
    using Done = std::function<void(const Result&)>;

    explicit BackgroundRun(QObject* parent = nullptr);
    // Cancels a running job and waits for its thread: the only place that ever waits.
    ~BackgroundRun() override;

    // Starts `work` on a new thread; `done` runs on this object's thread when it ends,
    // before finished() is emitted. False, starting nothing, while a job is running.
    bool start(Work work, Done done);
    // Asks the running job to stop; returns at once. Nothing when idle.
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }

signals:
    // The latest progress of the job (queued from the worker); `stage` is empty until the
    // work names one.
    void progressed(const QString& stage, long done, long total);
    // The job has ended and `done` has run; the object is idle again.
    void finished();

private:
    void deliverProgress();
    void deliverEnd();

    std::shared_ptr<Context::Shared> m_shared;
    QThread* m_thread = nullptr;
    Done m_done;
};

} // namespace qln::viewer
