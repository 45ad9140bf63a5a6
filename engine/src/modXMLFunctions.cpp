#include "modXMLFunctions.h"

#include "FieldValues.h"
#include "modGetWhere.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/SqlText.h"
#include "quillon/Text.h"
#include "quillon/Tokens.h"
#include "quillon/ado/Connection.h"

#include <array>

namespace qln::engine {
namespace {

constexpr std::array<const char*, 7> kMethodNames = {"Weighted Average",  "Most Limiting",      "Least Limiting",
                                                     "Dominant Soil",     "Dominant Condition", "Absence/Presence",
                                                     "All Components"};

// A whole number of the UserData record as its element text ("-1", "25").
std::string numberText(const ado::Recordset& userData, const char* name)
{
    return std::to_string(toInteger16(userData.value(name), ValueName(userData, name)));
}

// The text from the first "mrulename" on (any letter case), the rule part of SQLWhere.
std::string ruleCondition(const std::string& sqlWhere)
{
    const auto at = lowerAscii(sqlWhere).find("mrulename");
    return at == std::string::npos ? std::string() : sqlWhere.substr(at);
}

} // namespace

void AppendXMLTextNode(pugi::xml_document&, const std::string& name, const std::string& text, pugi::xml_node parent)
{
    try {
        pugi::xml_node element = parent.append_child(name.c_str());
        element.text().set(text.c_str());
    } catch (...) {
        rethrowWithTrail("AppendXMLTextNode", 1);
    }
}

void AppendXMLTableNode(pugi::xml_document&, const std::string& name, ado::Recordset& table, pugi::xml_node parent)
{
    int line = 1;
    try {
        if (!table.isOpen() || table.recordCount() <= 0)
            return;
        line = 2;
        // Built detached and appended whole, as the parent sees only a finished table.
        pugi::xml_document built;
        pugi::xml_node tableNode = built.append_child(name.c_str());
        for (table.moveFirst(); !table.eof(); table.moveNext()) {
            pugi::xml_node row = tableNode.append_child("row");
            for (int i = 0; i < table.fieldCount(); ++i) {
                const std::string& field = table.field(i).name;
                const std::string value = table.value(i).text();
                if (field != "Reasons") {
                    row.append_attribute(field.c_str()).set_value(value.c_str());
                    continue;
                }
                const int parts = CountTokens(value, "|");
                row.append_attribute("Component").set_value(getToken(value, "|", 1).c_str());
                for (int n = 2; n <= parts; ++n)
                    row.append_child("Reason").append_attribute("text").set_value(getToken(value, "|", n).c_str());
            }
        }
        line = 3;
        parent.append_copy(tableNode);
    } catch (...) {
        rethrowWithTrail("AppendXMLTableNode", line);
    }
}

std::unique_ptr<pugi::xml_document> PopulateXMLDocument(const std::string& title, const std::string& description,
                                                        ado::Recordset& table, const ado::Recordset& userData)
{
    int line = 1;
    try {
        auto document = std::make_unique<pugi::xml_document>();
        pugi::xml_document rootHolder;
        pugi::xml_node root = rootHolder.append_child("Report");
        AppendXMLTextNode(*document, "Title", title, root);
        line = 2;
        if (toInteger16(userData.value("IgnPct"), ValueName(userData, "IgnPct")) > 0)
            AppendXMLTextNode(*document, "IgnorePct", numberText(userData, "IgnPct"), root);
        if (toFlag(userData.value("SetNullsZero"), ValueName(userData, "SetNullsZero")))
            AppendXMLTextNode(*document, "SetNullsZero", "TRUE", root);
        if (toInteger16(userData.value("TopDepth"), ValueName(userData, "TopDepth")) > -1 && toInteger16(userData.value("BotDepth"), ValueName(userData, "BotDepth")) > -1) {
            AppendXMLTextNode(*document, "TopDepth", numberText(userData, "TopDepth"), root);
            AppendXMLTextNode(*document, "BotDepth", numberText(userData, "BotDepth"), root);
        }
        if (toInteger16(userData.value("BegMonth"), ValueName(userData, "BegMonth")) > -1 && toInteger16(userData.value("EndMonth"), ValueName(userData, "EndMonth")) > -1) {
            AppendXMLTextNode(*document, "BegMonth", numberText(userData, "BegMonth"), root);
            AppendXMLTextNode(*document, "EndMonth", numberText(userData, "EndMonth"), root);
        }
        const long rate = toInteger16(userData.value("Rate"), ValueName(userData, "Rate"));
        if (rate == -1 || rate == 1)
            AppendXMLTextNode(*document, "Rate", std::to_string(rate), root);
        line = 3;
        AppendXMLTextNode(*document, "Description", description, root);
        AppendXMLTableNode(*document, "Table", table, root);
        line = 4;
        // The root joins the document last, when it is complete.
        document->append_copy(root);
        return document;
    } catch (...) {
        rethrowWithTrail("PopulateXMLDocument", line);
    }
}

std::string GetReportTitle(const ado::Recordset& attr, const ado::Recordset& userData)
{
    try {
        std::string method;
        std::string item;
        if (textField(attr, "TelvaTable") != "mapunit") {
            const bool hasUserData = userData.isOpen() && userData.recordCount() > 0;
            const long code = hasUserData ? toInteger16(userData.value("Algorithm"), ValueName(userData, "Algorithm")) : -1;
            if (code >= 0 && code < static_cast<long>(kMethodNames.size()))
                method = kMethodNames[static_cast<std::size_t>(code)];
            if (hasUserData)
                item = textField(userData, "ItemSelected");
        }
        const std::string name = textField(attr, "NodeName");
        if (method.empty())
            return name;
        std::string title = name + " - " + method;
        if (toFlag(attr.value("OptionList"), ValueName(attr, "OptionList")) && !item.empty())
            title += " (" + item + ")";
        return title;
    } catch (...) {
        rethrowWithTrail("GetReportTitle", 1);
    }
}

std::string GetReportDescription(const ado::Recordset& attr)
{
    try {
        return textField(attr, "Description");
    } catch (...) {
        rethrowWithTrail("GetReportDescription", 1);
    }
}

std::string GetComponentReason(const ado::Recordset& results, const ado::Recordset& /*attr*/, ado::Recordset& reasons)
{
    int line = 1;
    try {
        const std::string mukey = results.value("mukey").text();
        reasons.setFilter("mukey='" + escapeQuotes(mukey) + "'");
        if (reasons.recordCount() <= 0)
            return {};
        line = 2;
        std::string text;
        const std::string cokeys = results.value("cokey").text();
        const long count = static_cast<long>(requireNumber(results.value("NumComponents"), ValueName(results, "NumComponents")));
        for (long i = 1; i <= count; ++i) {
            const std::string cokey = getToken(cokeys, "|", static_cast<int>(i));
            reasons.setFilter("cokey='" + escapeQuotes(cokey) + "'");
            if (reasons.recordCount() <= 0)
                continue;
            if (!text.empty())
                text += "\r\n";
            text += "Component - " + reasons.value("compname").text() + " (" + reasons.value("comppct_r").text() + "%)";
            for (; !reasons.eof(); reasons.moveNext())
                text += "|" + reasons.value("interphrc").text();
        }
        return text;
    } catch (...) {
        rethrowWithTrail("GetComponentReason", line);
    }
}

void GetReportBody(ado::Recordset& results, const ado::Recordset& attr, ado::Connection& soils,
                   ado::Recordset& soilsRS, ado::Recordset& table, ado::Recordset& selection,
                   const std::function<void(long done, long total)>& onRow)
{
    int line = 1;
    try {
        const std::string legendCondition = GetLegendIDs(soilsRS);
        const std::string areaCondition = "(" + legendCondition + ")";
        line = 2;
        ado::Recordset mapunits;
        // Without survey areas there is nothing to list; "()" is no condition SQL accepts.
        if (!legendCondition.empty())
            adoOpenRecordset(soils, mapunits,
                             "SELECT DISTINCT mukey,musym,muname,areasymbol,areaname,ssastatus,cordate,distgendate "
                             "FROM mapunit,distlegendmd,distmd WHERE distlegendmd.lkey=mapunit.lkey   "
                             "AND distlegendmd.distmdkey=distmd.distmdkey AND " + areaCondition,
                             ado::adLockOptimistic);
        line = 3;
        table = ado::Recordset();
        table.appendField("ssaid", ado::adVarChar, 20);
        table.appendField("ssaname", ado::adVarChar, 250);
        table.appendField("survstat", ado::adVarChar, 250);
        table.appendField("cordate", ado::adVarChar, 10);
        table.appendField("distdate", ado::adVarChar, 10);
        table.appendField("musym", ado::adVarChar, 20);
        table.appendField("muname", ado::adVarChar, 175);
        table.appendField("Result", ado::adVarChar, 255);
        line = 4;
        const bool interp = textField(attr, "TelvaTable") == "cointerp";
        ado::Recordset reasons;
        if (interp) {
            const std::string rule = ruleCondition(textField(attr, "SQLWhere"));
            std::string sql = "SELECT mapunit.mukey,component.compname,component.comppct_r,"
                              "       cointerp.cokey,ruledepth,mrulename,interphrc "
                              "  FROM (mapunit INNER JOIN component "
                              "        ON mapunit.mukey = component.mukey) "
                              " INNER JOIN cointerp ON component.cokey = cointerp.cokey "
                              " WHERE cointerp.ruledepth=1 ";
            if (!rule.empty())
                sql += "   AND " + rule;
            if (!legendCondition.empty())
                sql += "   AND " + areaCondition;
            adoOpenRecordset(soils, reasons, sql, ado::adLockOptimistic);
            reasons.disconnect();
            // Kept whole beyond the 2048 characters the field is declared with.
            table.appendField("Reasons", ado::adVarChar, 2048);
        }
        table.open();
        if (!mapunits.isOpen())
            return;

        line = 5;
        selection.setFilter("");
        const long total = selection.recordCount();
        long done = 0;
        for (selection.moveFirst(); !selection.eof(); selection.moveNext()) {
            if (onRow)
                onRow(++done, total);
            const std::string mukey = trimBlanks(selection.value("mukey").text());
            const std::string filter = "mukey='" + escapeQuotes(mukey) + "'";
            mapunits.setFilter(filter);
            if (mapunits.recordCount() <= 0)
                continue;
            results.setFilter(filter);
            if (results.recordCount() <= 0)
                continue;
            table.addNew();
            table.setValue("ssaid", mapunits.value("areasymbol").text());
            table.setValue("ssaname", mapunits.value("areaname").text());
            table.setValue("survstat", mapunits.value("ssastatus").text());
            table.setValue("cordate", formatReportDate(mapunits.value("cordate").text()));
            table.setValue("distdate", formatReportDate(mapunits.value("distgendate").text()));
            table.setValue("musym", mapunits.value("musym").text());
            table.setValue("muname", mapunits.value("muname").text());
            table.setValue("Result", results.value(2).text());
            if (interp)
                table.setValue("Reasons", GetComponentReason(results, attr, reasons));
            table.update();
        }
        results.setFilter("");
        selection.setFilter("");
    } catch (...) {
        rethrowWithTrail("GetReportBody", line);
    }
}

} // namespace qln::engine
