#pragma once

// A legend as a QGIS layer style (.qml): one rule per entry, in legend order, that picks the
// same features Legend::classify gives that entry, filled with the entry's colour. Written
// into GeoPackages (their layer_styles table), so that QGIS draws them as the map does.

#include "quillon/gis/Legend.h"

#include <string>

namespace qln::gis {

// field: the attribute the rules test; numericField: whether it holds numbers (classes are
// then compared as numbers where their value is one).
std::string qgisStyle(const Legend& legend, const std::string& field, bool numericField);

// The same rules as an OGC Styled Layer Descriptor (SLD 1.1) for other map programs: the
// layer's name, comparisons of the field with numbers or texts, the no-data class as
// PropertyIsNull and the entry for other values as ElseFilter.
std::string sldStyle(const Legend& legend, const std::string& layer, const std::string& field);

} // namespace qln::gis
