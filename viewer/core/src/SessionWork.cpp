#include "SessionWork.h"

#include "quillon/SqlText.h"
#include "quillon/viewer/MapunitSources.h"
#include "quillon/viewer/RunOptions.h"

namespace qln::viewer::detail {

void openForReading(ado::Connection& soils, const std::string& connect)
{
    soils.setConnectionString(connect);
    soils.setCursorLocation(ado::adUseClient);
    // The viewer only reads the survey data.
    soils.setMode(ado::adModeRead);
    soils.open();
}

ado::Connection::LockWait waitWhileLocked(JobProgress* const& context)
{
    return [&context](int) {
        if (!context || context->cancelled()) return false;
        context->stage("Waiting for the results database, locked by another program");
        return true;
    };
}

ado::Recordset layerMapunits(ado::Connection& soils, const std::optional<std::filesystem::path>& attributeFile)
{
    if (!attributeFile) return GetMUFromMDB(soils);
    std::optional<ado::Recordset> layer = GetMUFromDBF(attributeFile->parent_path(), attributeFile->filename().string());
    std::string keys;
    if (layer)
        for (layer->moveFirst(); !layer->eof(); layer->moveNext())
            keys += (keys.empty() ? "'" : ",'") + escapeQuotes(layer->value("mukey").text()) + "'";
    if (keys.empty())
        throw RefusedRun("The attribute file " + attributeFile->string() + ".dbf lists no map units; there is nothing to rate.");
    return GetMUFromMDB(soils, " WHERE mukey IN (" + keys + ")");
}

} // namespace qln::viewer::detail
