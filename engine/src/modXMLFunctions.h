#pragma once

#include "quillon/ado/Recordset.h"

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <string>

namespace qln::engine {

// The report document: Title, the options in force, Description and the Table of rows.
std::unique_ptr<pugi::xml_document> PopulateXMLDocument(const std::string& title, const std::string& description,
                                                        ado::Recordset& table, const ado::Recordset& userData);

// Creates the element, sets its text and appends it to the parent.
void AppendXMLTextNode(pugi::xml_document& document, const std::string& name, const std::string& text,
                       pugi::xml_node parent);

// One row element per record; a Reasons field becomes the Component attribute and one
// Reason child per "|" part. Nothing is appended for an empty record set.
void AppendXMLTableNode(pugi::xml_document& document, const std::string& name, ado::Recordset& table,
                        pugi::xml_node parent);

// NodeName, then " - " and the method name (and the option item in parentheses) for
// attributes below the map unit.
std::string GetReportTitle(const ado::Recordset& attr, const ado::Recordset& userData);
std::string GetReportDescription(const ado::Recordset& attr);

// The report table: one record per chosen map unit that has a rating, in the order of
// the selection. soils is the run's SHAPE result, whose top level gives the survey areas.
// `onRow` hears each selected map unit looked at (done, total) and may end the work.
void GetReportBody(ado::Recordset& results, const ado::Recordset& attr, ado::Connection& soils,
                   ado::Recordset& soilsRS, ado::Recordset& table, ado::Recordset& selection,
                   const std::function<void(long done, long total)>& onRow = {});

// "Component - name (pct%)|reason|reason" per component of the rating, blocks joined by
// CR LF; "" when the map unit has no reasons.
std::string GetComponentReason(const ado::Recordset& results, const ado::Recordset& attr, ado::Recordset& reasons);

} // namespace qln::engine
