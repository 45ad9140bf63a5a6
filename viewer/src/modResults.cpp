#include "modResults.h"

#include "quillon/viewer/ResultsDatabase.h"

#include <filesystem>

namespace qln::viewer {

using namespace reporting;

int OverwriteOutputDB(ViewerState& st)
{
    const Settings& s = st.settings;
    try {
        const int status = viewer::OverwriteOutputDB(s.OutputFolder, s[Setting::OutputDBOrig], s[Setting::OutputDBFile]);
        if (status != 1) {
            const std::string orig = (std::filesystem::path(s.OutputFolder) / s[Setting::OutputDBOrig]).string();
            st.reporter->cReportMsg(gmrERR, gmrDISP, "OverwriteOutputDB", 602, 0, {orig});
        }
        return status;
    } catch (const std::exception& error) {
        st.reporter->cReportMsg(gmrERR, gmrDISP, "OverwriteOutputDB", 1, 0, {std::string(error.what())});
        return -1;
    }
}

} // namespace qln::viewer
