#pragma once

// One long job at a time off the GUI thread: a rating run or a report. The job gets a
// context it polls for Cancel and tells its progress; the window hears progress and the
// end through queued signals on its own thread, so it keeps painting and never waits.
//
// Threading contract: start(), cancel() and the destructor are called on the thread that
// owns the object (the GUI thread); the work runs on a thread of its own and must touch no
// widget and no object the GUI thread uses: hand it connections and record sets of its
// own, whole, and take its result back in `done`.

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
    class Context {
    public:
        // True once Cancel has been pressed; the work should stop soon after.
        bool cancelled() const noexcept;
        // Cheap to call for every item: the window is told the latest values at most once
        // per turn of its event loop.
        void progress(long done, long total) noexcept;
        // Names the step the work has moved on to, for the progress that follows; `name`
        // is kept, not copied, so it must be a string literal.
        void stage(const char* name) noexcept;

    private:
        friend class BackgroundRun;
        struct Shared;
        explicit Context(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
        std::shared_ptr<Shared> m_shared;
    };

    enum class Outcome { Finished, Cancelled, Failed };
    // How a job ended. Cancel wins: a job that ends, however, after Cancel was pressed is
    // Cancelled, so its caller keeps nothing of it (but what the work had already committed). `error` is set for Failed (the exception
    // the work threw, for the caller to rethrow and report) and may be for Cancelled.
    struct Result {
        Outcome outcome = Outcome::Finished;
        std::exception_ptr error;
    };

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
