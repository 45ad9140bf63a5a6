#pragma once

#include "quillon/ado/Recordset.h"

#include <string>

namespace qln::engine {

class clsQuillon;

// mapunit.mukey IN ('k1','k2',...) over every visible map unit; "" when there are none.
// Leaves the record set at its end.
std::string GetMapunitKeyList(ado::Recordset& rsMapunits);
// component.comppct_r>=IgnPct, or "" when no cut-off.
std::string GetIgnorePctWhere(const ado::Recordset& userData);
// Horizons reaching into the chosen layer, touching ends included.
std::string GetSoilLayersInformation(const ado::Recordset& attr, const ado::Recordset& userData);
// Months of the chosen range; a range may wrap through the end of the year.
std::string GetMonthsInformation(const ado::Recordset& attr, const ado::Recordset& userData);
// Condition and extra columns of the attribute's option lists (rules read through engine).
void GetOptionListWhere(clsQuillon& engine, const ado::Recordset& attr, const ado::Recordset& userData,
                        std::string& condition, std::string& columns);
// Join of the attribute's coded domain.
int GetDomainInformation(std::string& columns, std::string& tables, std::string& condition,
                         const ado::Recordset& attr);
// Extra columns named by "*" tokens of WAMultipliers.
std::string GetMultipliers(const ado::Recordset& attr);
// mapunit.lkey='a' OR mapunit.lkey='b' ... over every record.
std::string GetLegendIDs(ado::Recordset& legends);

} // namespace qln::engine
