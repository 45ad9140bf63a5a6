#include "quillon/viewer/MapunitList.h"

#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/Tokens.h"

namespace qln::viewer {
namespace {

bool ticked(const ado::Recordset& row)
{
    const Variant& value = row.value("Selected");
    return value.number().value_or(0) != 0;
}

} // namespace

short PopulateMapunitList(engine::clsQuillon& engine, const std::string& soilsConnect, ado::Recordset& mapunits,
                          ado::Recordset& list, const Messages& messages)
{
    try {
        ado::Recordset dates = engine.GetSoilsDataRS(soilsConnect, "SELECT distgendate FROM distmd");
        const std::string date = dates.recordCount() > 0 ? dates.value("distgendate").text() : std::string();

        std::string keys;
        mapunits.setFilter("");
        for (mapunits.moveFirst(); !mapunits.eof(); mapunits.moveNext())
            addToken(keys, "'" + escapeQuotes(trimBlanks(mapunits.value("mukey").text())) + "'", ",");
        // SQLite accepts an empty IN list; the list must still fail so no later step runs on it.
        if (keys.empty())
            throw EngineError(kProviderError, "PopulateMapunitList", "There are no map units to list.");

        const std::string sql = "SELECT areasymbol AS [Survey Area],musym AS [Map Unit],"
                                "       muname AS [Map Unit Name],sms.mukey,areaname,"
                                "       ssastatus,cordate,'" + escapeQuotes(date) + "' AS distgendate,FALSE AS Selected"
                                " FROM mapunit,legend,[SYSTEM - Mapunit Sort Specifications] sms "
                                "WHERE mapunit.lkey=legend.lkey AND legend.lkey=sms.lkey "
                                "  AND mapunit.mukey=sms.mukey "
                                " AND sms.mukey IN (" + keys + ") "
                                "ORDER BY sms.lseq,sms.museq";
        list = engine.GetSoilsDataRS(soilsConnect, sql);
        return 1;
    } catch (const EngineError& error) {
        if (messages.report)
            messages.report(gmrERR, "PopulateMapunitList", error.description());
        return -1;
    }
}

void SetAllRows(ado::Recordset& list, bool tick)
{
    list.setFilter("");
    for (list.moveFirst(); !list.eof(); list.moveNext()) {
        list.setValue("Selected", tick);
        list.update();
    }
    list.moveFirst();
}

void TickShownRows(const ado::Recordset& list, bool tick)
{
    ado::Recordset rows = list.clone(true);
    for (rows.moveFirst(); !rows.eof(); rows.moveNext()) {
        rows.setValue("Selected", tick);
        rows.update();
    }
}

void TickRow(const ado::Recordset& list, bool tick)
{
    ado::Recordset edit = list.clone();
    edit.setFilter("[Survey Area]='" + escapeQuotes(list.value("Survey Area").text()) + "' AND [Map Unit]='" +
                   escapeQuotes(list.value("Map Unit").text()) + "'");
    for (; !edit.eof(); edit.moveNext()) {
        edit.setValue("Selected", tick);
        edit.update();
    }
}

void ShowSelectedRows(ado::Recordset& list, bool only)
{
    // The filter is evaluated now: a row unticked while shown stays until the next change.
    list.setFilter(only ? "Selected=TRUE" : "");
}

ado::Recordset GetSelectedRS(const ado::Recordset& list)
{
    ado::Recordset selected;
    selected.appendField("musym", ado::adVarChar, 6);
    selected.appendField("mukey", ado::adVarChar, 30);
    selected.open();
    if (!list.isOpen())
        return selected;
    // The list's own filter and sort are the order the user sees.
    ado::Recordset row = list.clone(true);
    for (row.moveFirst(); !row.eof(); row.moveNext()) {
        if (!ticked(row))
            continue;
        selected.addNew();
        selected.setValue("musym", row.value("Map Unit").text());
        selected.setValue("mukey", row.value("mukey").text());
        selected.update();
    }
    if (selected.recordCount() > 0)
        selected.moveFirst();
    return selected;
}

} // namespace qln::viewer
