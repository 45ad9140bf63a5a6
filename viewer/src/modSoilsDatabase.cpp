#include "modSoilsDatabase.h"

#include <filesystem>

namespace qln::viewer {

int ResetTelvaConnection(ViewerState& st, const std::string& fileName)
{
    const std::string folder = st.settings.soilsDataFolder;
    st.soilsDataFile = fileName;
    st.soilsConnectString = "Persist Security Info=False;Driver={Microsoft Access Driver (*.mdb)};DriverId=25;"
                            "FIL=MS Access;ImplicitCommitSync=Yes;MaxBufferSize=512;MaxScanRows=8;PageTimeout=5;"
                            "SafeTransactions=0;Threads=3;UID=admin;UserCommitSync=Yes;DefaultDir=" +
                            folder + ";DBQ=" + (std::filesystem::path(folder) / fileName).string();
    return 1;
}

} // namespace qln::viewer
