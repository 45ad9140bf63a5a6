#include "AccessCopy.h"

#include "AccessReader.h"
#include "SurveyKeys.h"
#include "TableWriter.h"

namespace qln::ado::detail {

void copyAccessTables(const std::filesystem::path& accessFile, const std::filesystem::path& sqliteFile)
{
    AccessReader reader(accessFile);
    TableWriter writer(sqliteFile);
    for (std::size_t table = 0; table < reader.tableNames().size(); ++table) {
        reader.openTable(table);
        writer.createTable(reader.tableNames()[table], reader.columns());
        while (reader.nextRow())
            writer.insert(reader.row());
    }
    // Rating queries look rows up by key: without these a run costs many times as long.
    createIndexes(writer.handle(), surveyIndexPlans(writer.handle()), IndexSet::All, OnRepeatedKey::PlainIndex);
    writer.commit(kMirrorComplete);
}

} // namespace qln::ado::detail
