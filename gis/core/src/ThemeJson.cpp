#include "quillon/gis/ThemeJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qln::gis {

namespace {

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

const char* kindName(LegendEntry::Kind kind)
{
    switch (kind) {
    case LegendEntry::Kind::Class: return "class";
    case LegendEntry::Kind::Range: return "range";
    case LegendEntry::Kind::NoData: return "nodata";
    case LegendEntry::Kind::Other: return "other";
    }
    return "other";
}

QJsonValue bound(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace

std::string themeJson(const RatingTheme& theme)
{
    std::vector<int> counts(theme.legend.entries().size(), 0);
    for (const std::uint32_t entry : theme.entryOf)
        ++counts[entry];
    QJsonArray entries;
    for (std::size_t i = 0; i < theme.legend.entries().size(); ++i) {
        const LegendEntry& e = theme.legend.entries()[i];
        entries.append(QJsonObject {{"kind", kindName(e.kind)},
                                    {"value", qs(e.value)},
                                    {"low", bound(e.low)},
                                    {"high", bound(e.high)},
                                    {"highInclusive", e.highInclusive},
                                    {"colour", e.colour.name()},
                                    {"label", qs(e.label)},
                                    {"count", counts[i]}});
    }
    QJsonObject values;
    for (std::size_t s = 0; s < theme.values.size(); ++s) {
        const Variant& v = theme.values[s];
        if (v.isMissing()) {
            values.insert(qs(theme.layer->mukey(s)), QJsonValue(QJsonValue::Null));
            continue;
        }
        // The number ranges compare, which for a single-precision rating is its decimal.
        values.insert(qs(theme.layer->mukey(s)), QJsonArray {qs(v.text()), bound(ratingNumber(v))});
    }
    const QJsonObject out {{"title", qs(theme.title)},
                           {"column", qs(theme.column)},
                           {"summary", qs(themeSummary(theme))},
                           {"entries", entries},
                           {"values", values}};
    return QJsonDocument(out).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace qln::gis
