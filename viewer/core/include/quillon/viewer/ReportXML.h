#pragma once

#include "quillon/ado/Recordset.h"

#include <pugixml.hpp>

#include <optional>
#include <string>

namespace qln::viewer {

// The text of the first node at the path, "" when there is none.
std::string GetXMLText(const pugi::xml_document& document, const std::string& path);

// One record per row element at the path, one field per attribute of the first row in
// document order; the Component attribute only when reasons are included. Nothing when
// the document has no such table.
std::optional<ado::Recordset> ReadXMLTableRS(const pugi::xml_document& document, const std::string& path,
                                             bool includeReasons);

} // namespace qln::viewer
