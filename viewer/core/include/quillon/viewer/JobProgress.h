#pragma once

#include <exception>
#include <functional>
#include <string>

namespace qln::viewer {

// Long work on a worker thread: what it sees of whoever started it: whether Cancel was pressed,
// and where to tell how far it has come.
class JobProgress {
public:
    // True once Cancel has been pressed; the work should stop soon after.
    virtual bool cancelled() const noexcept = 0;
    // Cheap to call for every item.
    virtual void progress(long done, long total) noexcept = 0;
    // Names the step the work has moved on to; `name` is kept, not copied, so it must be a
    // string literal.
    virtual void stage(const char* name) noexcept = 0;

protected:
    ~JobProgress() = default;
};

// How a job on a worker ended. Cancel wins over the work's own ending; `error` is set for
// Failed and may be for Cancelled.
enum class JobOutcome { Finished, Cancelled, Failed };
struct JobResult {
    JobOutcome outcome = JobOutcome::Finished;
    std::exception_ptr error;
};

// Runs work on a worker and `done` on the caller's thread once it has ended, returning
// after both; false, running nothing, while another job is busy.
using JobWork = std::function<void(JobProgress&)>;
using JobDone = std::function<void(const JobResult&)>;
using JobRunner = std::function<bool(const std::string& caption, JobWork work, JobDone done)>;

} // namespace qln::viewer
