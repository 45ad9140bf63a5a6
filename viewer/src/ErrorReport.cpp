#include "ErrorReport.h"

#include "ViewerState.h"
#include "quillon/reporter/SystemError.h"

namespace qln::viewer {

void ReportCaughtError(const ViewerState& st, const char* procedure, const std::string& what)
{
    const reporter::ErrObject error = reporter::caughtError();
    const std::string text = error.description.empty() ? what : what + "\n" + error.description;
    st.reporter->cReportMsg2(reporting::gmrERR, reporting::gmrDISP, procedure, 1, error, {text});
}

void ReportError(const ViewerState& st, const char* procedure, const std::string& what, std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (...) {
        ReportCaughtError(st, procedure, what);
    }
}

} // namespace qln::viewer
