#include "modGetWhere.h"

#include "FieldValues.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/Tokens.h"
#include "quillon/engine/clsQuillon.h"

namespace qln::engine {
namespace {

void joinWith(std::string& list, const std::string& item, const char* delimiter)
{
    if (!list.empty())
        list += delimiter;
    list += item;
}

} // namespace

std::string GetMapunitKeyList(ado::Recordset& rsMapunits)
{
    if (rsMapunits.recordCount() <= 0)
        return {};
    std::string list;
    for (rsMapunits.moveFirst(); !rsMapunits.eof(); rsMapunits.moveNext())
        joinWith(list, "'" + escapeQuotes(rsMapunits.value("mukey").text()) + "'", ",");
    return "mapunit.mukey IN (" + list + ")";
}

std::string GetIgnorePctWhere(const ado::Recordset& userData)
{
    try {
        if (!hasRow(userData))
            return {};
        if (const int percent = toInteger16(userData.value("IgnPct"), "UserData.IgnPct"); percent > 0)
            return "component.comppct_r>=" + std::to_string(percent);
        return {};
    } catch (...) {
        rethrowWithTrail("GetIgnorePctWhere", 1);
    }
}

std::string GetSoilLayersInformation(const ado::Recordset& attr, const ado::Recordset& userData)
{
    try {
        if (toFlag(attr.value("SoilLayerOptions"), "Attributes.SoilLayerOptions") && hasRow(userData))
            return "(hzdepb_r>=" + std::to_string(toInteger16(userData.value("TopDepth"), "UserData.TopDepth")) +
                   " AND hzdept_r<=" + std::to_string(toInteger16(userData.value("BotDepth"), "UserData.BotDepth")) + ")";
        return {};
    } catch (...) {
        rethrowWithTrail("GetSoilLayersInformation", 1);
    }
}

std::string GetMonthsInformation(const ado::Recordset& attr, const ado::Recordset& userData)
{
    try {
        if (!toFlag(attr.value("SeasonOptions"), "Attributes.SeasonOptions") || !hasRow(userData))
            return {};
        const int begin = toInteger16(userData.value("BegMonth"), "UserData.BegMonth");
        const int end = toInteger16(userData.value("EndMonth"), "UserData.EndMonth");
        if (begin <= -1 || end <= -1)
            return {};
        const char* join = begin > end ? " OR " : " AND ";
        return "(monthseq>=" + std::to_string(begin) + join + "monthseq<=" + std::to_string(end) + ")";
    } catch (...) {
        rethrowWithTrail("GetMonthsInformation", 1);
    }
}

void GetOptionListWhere(clsQuillon& engine, const ado::Recordset& attr, const ado::Recordset& userData,
                        std::string& condition, std::string& columns)
{
    int line = 1;
    try {
        condition.clear();
        columns.clear();
        if (!toFlag(attr.value("OptionList"), "Attributes.OptionList"))
            return;
        line = 2;
        ado::Recordset lists =
            engine.GetMainQLNRS("SELECT * FROM OptionList WHERE NodeKey='" + escapeQuotes(textField(attr, "NodeKey")) + "'");
        line = 3;
        // The choice is looked up on a clone: a list the user did not choose must not hide
        // the caller's one UserData row from the rest of the run.
        ado::Recordset chosen = userData.clone();
        for (; !lists.eof(); lists.moveNext()) {
            const std::string whereColumn = textField(lists, "WhereColumn");
            if (whereColumn.empty())
                continue;
            chosen.setFilter("ListName='" + escapeQuotes(textField(lists, "Label")) + "'");
            if (chosen.recordCount() == 0)
                continue;
            joinWith(condition, whereColumn + "='" + escapeQuotes(textField(chosen, "ItemSelected")) + "'", " AND ");
            joinWith(columns, whereColumn, ",");
        }
    } catch (...) {
        rethrowWithTrail("GetOptionListWhere", line);
    }
}

int GetDomainInformation(std::string& columns, std::string& tables, std::string& condition,
                         const ado::Recordset& attr)
{
    try {
        const std::string domain = trimBlanks(textField(attr, "domainname"));
        if (domain.empty())
            return 1;
        if (trimBlanks(textField(attr, "TieBreakColText")) != "choicesequence")
            joinWith(columns, "choicesequence", ",");
        joinWith(columns, "domainname,choice", ",");
        joinWith(tables, "mdstatdomdet", ",");
        joinWith(condition,
                 "mdstatdomdet.domainname='" + escapeQuotes(textField(attr, "domainname")) +
                     "' AND mdstatdomdet.choice=" + textField(attr, "TelvaTable") + "." + textField(attr, "AttrColText"),
                 " AND ");
        return 1;
    } catch (...) {
        rethrowWithTrail("GetDomainInformation", 1);
    }
}

std::string GetMultipliers(const ado::Recordset& attr)
{
    try {
        const std::string multipliers = textField(attr, "WAMultipliers");
        std::string columns;
        const int count = CountTokens(multipliers, "|");
        for (int n = 1; n <= count; ++n) {
            const std::string token = getToken(multipliers, "|", n);
            if (!token.empty() && token.front() == '*')
                joinWith(columns, token.substr(1), ",");
        }
        return columns;
    } catch (...) {
        rethrowWithTrail("GetMultipliers", 1);
    }
}

std::string GetLegendIDs(ado::Recordset& legends)
{
    try {
        std::string condition;
        for (legends.moveFirst(); !legends.eof(); legends.moveNext())
            joinWith(condition, "mapunit.lkey='" + escapeQuotes(legends.value("lkey").text()) + "'", " OR ");
        return condition;
    } catch (...) {
        rethrowWithTrail("GetLegendIDs", 1);
    }
}

} // namespace qln::engine
