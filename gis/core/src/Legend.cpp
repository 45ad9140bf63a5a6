#include "quillon/gis/Legend.h"

#include "quillon/InputFile.h"

#include "quillon/Text.h"
#include "quillon/gis/GisError.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>

namespace qln::gis {

namespace {

const QColor kNoData(0xbd, 0xbd, 0xbd);
const QColor kOther(0x6a, 0x6a, 0x6a);

// A qualitative palette for texts, a sequential one for numbers.
const QColor kQualitative[] = {{0x1f, 0x78, 0xb4}, {0x33, 0xa0, 0x2c}, {0xe3, 0x1a, 0x1c}, {0xff, 0x7f, 0x00},
                               {0x6a, 0x3d, 0x9a}, {0xb1, 0x59, 0x28}, {0xa6, 0xce, 0xe3}, {0xb2, 0xdf, 0x8a},
                               {0xfb, 0x9a, 0x99}, {0xfd, 0xbf, 0x6f}, {0xca, 0xb2, 0xd6}, {0xff, 0xff, 0x99}};
const QColor kSequential[] = {{0xff, 0xff, 0xb2}, {0xfe, 0xcc, 0x5c}, {0xfd, 0x8d, 0x3c}, {0xf0, 0x3b, 0x20},
                              {0xbd, 0x00, 0x26}};

std::vector<std::string> splitFields(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = line.find('|', start);
        out.push_back(trimBlanks(std::string_view(line).substr(start, bar == std::string::npos ? std::string::npos : bar - start)));
        if (bar == std::string::npos)
            return out;
        start = bar + 1;
    }
}

std::optional<double> parseNumber(const std::string& text)
{
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

QColor qualitative(std::size_t i)
{
    constexpr std::size_t n = std::size(kQualitative);
    if (i < n)
        return kQualitative[i];
    // Beyond the palette: hues spread by the golden angle.
    return QColor::fromHsv(static_cast<int>((i * 137) % 360), 150, 220);
}

} // namespace

// The number a rating means. A Single is the decimal it reads as: 1.4 stored as a float
// would widen to 1.39999997615814 and fall below a class that starts at 1.4.
std::optional<double> ratingNumber(const Variant& rating)
{
    if (rating.kind() != Variant::Kind::Single)
        return rating.number();
    const std::string text = rating.text();
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return rating.number();
    return value;
}

std::string numberText(double value)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

Legend Legend::fromFile(const std::filesystem::path& path)
{
    if (const auto why = irregularInput(path))
        throw GisError("Cannot read the legend file " + path.string() + ": " + *why);
    std::ifstream in(path);
    if (!in)
        throw GisError("Cannot read the legend file " + path.string());
    Legend legend;
    std::string line;
    int number = 0;
    bool header = false;
    bool classes = false, ranges = false, nodata = false;
    const auto fail = [&](const std::string& why) {
        return GisError("The legend file " + path.string() + ", line " + std::to_string(number) + ": " + why);
    };
    const auto colour = [&](const std::string& text) {
        const QColor c(QString::fromStdString(text));
        if (text.size() != 7 || text[0] != '#' || !c.isValid())
            throw fail("\"" + text + "\" is not a colour #RRGGBB");
        return c;
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string trimmed = trimBlanks(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        const auto f = splitFields(trimmed);
        if (!header) {
            if (f.size() != 2 || f[0] != "quillon-legend" || f[1] != "1")
                throw fail("the file must begin with quillon-legend|1");
            header = true;
            continue;
        }
        if (f[0] == "title" && f.size() == 2) {
            legend.m_title = f[1];
        } else if (f[0] == "class" && f.size() == 4) {
            classes = true;
            legend.m_entries.push_back({LegendEntry::Kind::Class, f[1], {}, {}, false, colour(f[2]), f[3]});
        } else if (f[0] == "range" && f.size() == 5) {
            ranges = true;
            LegendEntry e {LegendEntry::Kind::Range, {}, {}, {}, false, colour(f[3]), f[4]};
            if (!f[1].empty() && !(e.low = parseNumber(f[1])))
                throw fail("\"" + f[1] + "\" is not a number");
            if (!f[2].empty() && !(e.high = parseNumber(f[2])))
                throw fail("\"" + f[2] + "\" is not a number");
            legend.m_entries.push_back(std::move(e));
        } else if (f[0] == "nodata" && f.size() == 3) {
            if (nodata)
                throw fail("a second nodata entry");
            nodata = true;
            legend.m_entries.push_back({LegendEntry::Kind::NoData, {}, {}, {}, false, colour(f[1]), f[2]});
        } else {
            throw fail("unknown entry \"" + trimmed + "\"");
        }
    }
    if (!header)
        throw GisError("The legend file " + path.string() + " is empty");
    if (classes && ranges)
        throw GisError("The legend file " + path.string() + " mixes class and range entries");
    if (!classes && !ranges)
        throw GisError("The legend file " + path.string() + " has no class or range entry");
    return legend;
}

Legend Legend::dynamic(const std::vector<Variant>& ratings)
{
    Legend legend;
    bool allNumbers = true;
    std::vector<double> numbers;
    std::map<std::string, int> texts;
    bool anyNull = false;
    for (const Variant& r : ratings) {
        if (r.isMissing()) {
            anyNull = true;
            continue;
        }
        texts.emplace(r.text(), 0);
        if (r.isNumber() && ratingNumber(r))
            numbers.push_back(*ratingNumber(r));
        else
            allNumbers = false;
    }
    if (allNumbers && !numbers.empty()) {
        std::sort(numbers.begin(), numbers.end());
        // Breaks at the fifths of the sorted values; a break equal to the one before adds
        // no class, so a column of few values gets fewer classes.
        std::vector<double> breaks {numbers.front()};
        for (int k = 1; k < 5; ++k) {
            const double b = numbers[numbers.size() * static_cast<std::size_t>(k) / 5];
            if (b > breaks.back())
                breaks.push_back(b);
        }
        const double top = numbers.back();
        const std::size_t n = breaks.size();
        for (std::size_t i = 0; i < n; ++i) {
            LegendEntry e;
            e.kind = LegendEntry::Kind::Range;
            e.low = breaks[i];
            e.high = i + 1 < n ? breaks[i + 1] : top;
            e.highInclusive = i + 1 == n;
            e.colour = kSequential[n == 1 ? 4 : i * 4 / (n - 1)];
            e.label = i + 1 < n ? numberText(*e.low) + " to less than " + numberText(*e.high)
                                : (*e.low == top ? numberText(top) : numberText(*e.low) + " to " + numberText(top));
            legend.m_entries.push_back(std::move(e));
        }
    } else {
        std::size_t i = 0;
        for (const auto& [text, unused] : texts)
            legend.m_entries.push_back({LegendEntry::Kind::Class, text, {}, {}, false, qualitative(i++), text});
    }
    if (anyNull || legend.m_entries.empty())
        legend.m_entries.push_back({LegendEntry::Kind::NoData, {}, {}, {}, false, kNoData, "Not rated"});
    return legend;
}

std::optional<std::size_t> Legend::match(const Variant& rating) const
{
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const LegendEntry& e = m_entries[i];
        if (rating.isMissing()) {
            if (e.kind == LegendEntry::Kind::NoData)
                return i;
            continue;
        }
        if (e.kind == LegendEntry::Kind::Class && rating.text() == e.value)
            return i;
        if (e.kind == LegendEntry::Kind::Range) {
            const auto v = ratingNumber(rating);
            if (v && (!e.low || *v >= *e.low) && (!e.high || *v < *e.high || (e.highInclusive && *v == *e.high)))
                return i;
        }
    }
    return std::nullopt;
}

std::size_t Legend::classify(const Variant& rating)
{
    if (const auto i = match(rating))
        return *i;
    if (rating.isMissing()) {
        m_entries.push_back({LegendEntry::Kind::NoData, {}, {}, {}, false, kNoData, "Not rated"});
        return m_entries.size() - 1;
    }
    if (!m_other) {
        m_entries.push_back({LegendEntry::Kind::Other, {}, {}, {}, false, kOther, "Other values"});
        m_other = m_entries.size() - 1;
    }
    return *m_other;
}

} // namespace qln::gis
