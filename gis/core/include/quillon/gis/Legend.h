#pragma once

// How a rating theme colours its map units: the entries of a legend file (.avl, format in
// data/legends/README.md) or classes made from the values themselves ("DYNAMIC").

#include "quillon/Variant.h"

#include <QColor>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qln::gis {

struct LegendEntry {
    enum class Kind { Class, Range, NoData, Other };  // Other: ratings no entry matched
    Kind kind = Kind::Class;
    std::string value;                    // Class: the rating it matches, as text
    std::optional<double> low, high;      // Range: low <= rating < high, open when missing
    bool highInclusive = false;           // the last class of numbers made here takes its top value
    QColor colour;
    std::string label;
};

class Legend {
public:
    // Reads a legend file. Throws GisError naming the file and line when it is missing or
    // not of the documented format.
    static Legend fromFile(const std::filesystem::path& path);
    // Classes of its own: one per distinct text, or, when every rating is a number, five
    // classes holding about the same number of map units. Null ratings are "Not rated".
    static Legend dynamic(const std::vector<Variant>& ratings);

    const std::string& title() const { return m_title; }
    const std::vector<LegendEntry>& entries() const { return m_entries; }

    // The entry that colours a rating: Null goes to the no-data entry; a rating no entry
    // matches goes to an "Other values" entry added for it, so nothing is left undrawn.
    std::size_t classify(const Variant& rating);

private:
    std::optional<std::size_t> match(const Variant& rating) const;

    std::string m_title;
    std::vector<LegendEntry> m_entries;
    std::optional<std::size_t> m_other;
};

// The number a rating means to a range: a Single is the decimal it reads as.
std::optional<double> ratingNumber(const Variant& rating);

// A number as text without the C locale: shortest form that reads back the same.
std::string numberText(double value);

} // namespace qln::gis
