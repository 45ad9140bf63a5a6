#include "BackgroundRun.h"

#include <QThread>

namespace qln::viewer {

// Written by the worker, read by the GUI thread.
struct BackgroundRun::Context::Shared {
    BackgroundRun* owner = nullptr;
    std::atomic<bool> cancel{false};
    std::atomic<long> done{0};
    std::atomic<long> total{0};
    std::atomic<const char*> stage{nullptr};
    // A progress delivery is queued and has not run yet: later values only update the numbers.
    std::atomic<bool> pending{false};
    std::exception_ptr error;
};

bool BackgroundRun::Context::cancelled() const noexcept
{
    return m_shared->cancel.load(std::memory_order_relaxed);
}

void BackgroundRun::Context::progress(long done, long total) noexcept
{
    m_shared->done.store(done, std::memory_order_relaxed);
    m_shared->total.store(total, std::memory_order_relaxed);
    if (!m_shared->pending.exchange(true))
        QMetaObject::invokeMethod(m_shared->owner, &BackgroundRun::deliverProgress, Qt::QueuedConnection);
}

void BackgroundRun::Context::stage(const char* name) noexcept
{
    m_shared->stage.store(name, std::memory_order_relaxed);
    progress(0, 0);
}

BackgroundRun::BackgroundRun(QObject* parent) : QObject(parent) {}

BackgroundRun::~BackgroundRun()
{
    if (!m_thread) return;
    m_shared->cancel = true;
    m_thread->wait();
    delete m_thread;
}

bool BackgroundRun::start(Work work, Done done)
{
    if (m_thread) return false;
    m_shared = std::make_shared<Context::Shared>();
    m_shared->owner = this;
    m_done = std::move(done);
    m_thread = QThread::create([shared = m_shared, work = std::move(work)] {
        Context context(shared);
        try {
            work(context);
        } catch (...) {
            shared->error = std::current_exception();
        }
    });
    connect(m_thread, &QThread::finished, this, &BackgroundRun::deliverEnd, Qt::QueuedConnection);
    m_thread->start();
    return true;
}

void BackgroundRun::cancel()
{
    if (m_thread) m_shared->cancel = true;
}

void BackgroundRun::deliverProgress()
{
    // A delivery queued by a job that has since ended, or by an earlier job, says nothing new.
    if (!m_thread) return;
    m_shared->pending = false;
    const char* stage = m_shared->stage.load();
    emit progressed(stage ? QString::fromUtf8(stage) : QString(), m_shared->done.load(), m_shared->total.load());
}

void BackgroundRun::deliverEnd()
{
    if (!m_thread) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;

    Result result;
    result.error = m_shared->error;
    if (m_shared->cancel)
        result.outcome = Outcome::Cancelled;
    else if (result.error)
        result.outcome = Outcome::Failed;
    const Done done = std::move(m_done);
    m_done = nullptr;
    if (done) done(result);
    emit finished();
}

} // namespace qln::viewer
