#include "quillon/gis/LayerStyle.h"

#include <charconv>

namespace qln::gis {

namespace {

std::string xmlText(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string quoted(const std::string& text, char quote)
{
    std::string out(1, quote);
    for (const char c : text) {
        out += c;
        if (c == quote)
            out += quote;
    }
    return out + quote;
}

bool isNumber(const std::string& text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// The QGIS expression of an entry; ELSE takes what no other rule drew, as "Other values" does.
std::string filterOf(const LegendEntry& entry, const std::string& field, bool numericField)
{
    const std::string name = quoted(field, '"');
    switch (entry.kind) {
    case LegendEntry::Kind::NoData:
        return name + " IS NULL";
    case LegendEntry::Kind::Other:
        return "ELSE";
    case LegendEntry::Kind::Class:
        return name + " = " + (numericField && isNumber(entry.value) ? entry.value : quoted(entry.value, '\''));
    case LegendEntry::Kind::Range: {
        // A range over a text field compares the numbers the texts hold, as the map does.
        const std::string value = numericField ? name : "to_real(" + name + ")";
        std::string filter = value + " IS NOT NULL";
        if (entry.low)
            filter += " AND " + value + " >= " + numberText(*entry.low);
        if (entry.high)
            filter += " AND " + value + (entry.highInclusive ? " <= " : " < ") + numberText(*entry.high);
        return filter;
    }
    }
    return "ELSE";
}

std::string sldComparison(const char* name, const std::string& field, const std::string& literal)
{
    return std::string("<ogc:") + name + "><ogc:PropertyName>" + xmlText(field) + "</ogc:PropertyName><ogc:Literal>" +
           xmlText(literal) + "</ogc:Literal></ogc:" + name + ">";
}

// The filter of an entry; empty for the entry that takes other values (ElseFilter). Literals
// carry no type in SLD: the reader compares them as the field's values.
std::string sldFilter(const LegendEntry& entry, const std::string& field)
{
    const std::string isNull = "<ogc:PropertyIsNull><ogc:PropertyName>" + xmlText(field) +
                               "</ogc:PropertyName></ogc:PropertyIsNull>";
    switch (entry.kind) {
    case LegendEntry::Kind::NoData:
        return isNull;
    case LegendEntry::Kind::Other:
        return {};
    case LegendEntry::Kind::Class:
        return sldComparison("PropertyIsEqualTo", field, entry.value);
    case LegendEntry::Kind::Range: {
        const std::string notNull = "<ogc:Not>" + isNull + "</ogc:Not>";
        if (!entry.low && !entry.high)
            return notNull;  // And needs two conditions
        std::string parts = notNull;
        if (entry.low)
            parts += sldComparison("PropertyIsGreaterThanOrEqualTo", field, numberText(*entry.low));
        if (entry.high)
            parts += sldComparison(entry.highInclusive ? "PropertyIsLessThanOrEqualTo" : "PropertyIsLessThan", field,
                                   numberText(*entry.high));
        return "<ogc:And>" + parts + "</ogc:And>";
    }
    }
    return {};
}

std::string hexColour(const QColor& colour)
{
    return colour.name().toStdString();
}

std::string rgba(const QColor& colour)
{
    return std::to_string(colour.red()) + "," + std::to_string(colour.green()) + "," + std::to_string(colour.blue()) +
           ",255";
}

} // namespace

std::string qgisStyle(const Legend& legend, const std::string& field, bool numericField)
{
    const auto& entries = legend.entries();
    std::string rules, symbols;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string n = std::to_string(i);
        rules += "      <rule key=\"entry" + n + "\" symbol=\"" + n + "\" label=\"" + xmlText(entries[i].label) +
                 "\" filter=\"" + xmlText(filterOf(entries[i], field, numericField)) + "\"/>\n";
        // The outline is the map's: dark grey, one pixel whatever the scale (width 0).
        symbols += "      <symbol type=\"fill\" name=\"" + n + "\" alpha=\"1\" clip_to_extent=\"1\" force_rhr=\"0\">\n"
                   "        <layer class=\"SimpleFill\" enabled=\"1\" locked=\"0\" pass=\"0\">\n"
                   "          <prop k=\"color\" v=\"" + rgba(entries[i].colour) + "\"/>\n"
                   "          <prop k=\"style\" v=\"solid\"/>\n"
                   "          <prop k=\"outline_color\" v=\"85,85,85,255\"/>\n"
                   "          <prop k=\"outline_style\" v=\"solid\"/>\n"
                   "          <prop k=\"outline_width\" v=\"0\"/>\n"
                   "          <prop k=\"outline_width_unit\" v=\"MM\"/>\n"
                   "        </layer>\n"
                   "      </symbol>\n";
    }
    return "<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>\n"
           "<qgis version=\"3.22.0\" styleCategories=\"Symbology\">\n"
           "  <renderer-v2 type=\"RuleRenderer\" symbollevels=\"0\" enableorderby=\"0\" forceraster=\"0\">\n"
           "    <rules key=\"root\">\n" +
           rules +
           "    </rules>\n"
           "    <symbols>\n" +
           symbols +
           "    </symbols>\n"
           "  </renderer-v2>\n"
           "</qgis>\n";
}

std::string sldStyle(const Legend& legend, const std::string& layer, const std::string& field)
{
    std::string rules;
    for (const LegendEntry& entry : legend.entries()) {
        const std::string filter = sldFilter(entry, field);
        rules += "        <se:Rule>\n"
                 "          <se:Name>" + xmlText(entry.label) + "</se:Name>\n"
                 "          <se:Description><se:Title>" + xmlText(entry.label) + "</se:Title></se:Description>\n" +
                 (filter.empty() ? "          <se:ElseFilter/>\n"
                                 : "          <ogc:Filter>" + filter + "</ogc:Filter>\n") +
                 "          <se:PolygonSymbolizer>\n"
                 "            <se:Fill><se:SvgParameter name=\"fill\">" + hexColour(entry.colour) +
                 "</se:SvgParameter></se:Fill>\n"
                 "            <se:Stroke><se:SvgParameter name=\"stroke\">#555555</se:SvgParameter>"
                 "<se:SvgParameter name=\"stroke-width\">1</se:SvgParameter></se:Stroke>\n"
                 "          </se:PolygonSymbolizer>\n"
                 "        </se:Rule>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<StyledLayerDescriptor version=\"1.1.0\" xmlns=\"http://www.opengis.net/sld\" "
           "xmlns:ogc=\"http://www.opengis.net/ogc\" xmlns:se=\"http://www.opengis.net/se\">\n"
           "  <NamedLayer>\n"
           "    <se:Name>" + xmlText(layer) + "</se:Name>\n"
           "    <UserStyle>\n"
           "      <se:Name>" + xmlText(layer) + "</se:Name>\n"
           "      <se:FeatureTypeStyle>\n" +
           rules +
           "      </se:FeatureTypeStyle>\n"
           "    </UserStyle>\n"
           "  </NamedLayer>\n"
           "</StyledLayerDescriptor>\n";
}

} // namespace qln::gis
