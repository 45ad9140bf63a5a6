#include "Report.h"

#include "quillon/reporter/Reporter.h"

#include <cerrno>

namespace qln::ambutil {

namespace {
constexpr std::int32_t gmrLOG = 0;
}

void report(std::int32_t type, const char* procedure, std::int32_t msgId, const std::string& insert,
            std::optional<std::int32_t> sysErrNum)
{
    const char* inserts[] = {insert.c_str()};
    if (sysErrNum)
        ReportSysMessageVector(type, gmrLOG, procedure, msgId, 1, inserts, *sysErrNum);
    else
        ReportMessageVector(type, gmrLOG, procedure, msgId, 1, inserts);
}

std::int32_t failureCode()
{
    return errno != 0 ? errno : EINVAL;
}

} // namespace qln::ambutil
