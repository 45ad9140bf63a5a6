#include "Generator.h"

#include "Domains.h"
#include "Names.h"
#include "Random.h"
#include "Schema.h"
#include "Soil.h"
#include "SoilsWriter.h"
#include "SqliteWriter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace qln::sample {
namespace {

// Purposes of derived random streams.
constexpr std::uint64_t kAreaStream = 2;

struct AreaContext {
    std::vector<Series> series;
    Climate climate;
    std::set<std::string> symbols;
    int numericSymbol = 100;
};

std::string twoDigits(int v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

std::string symbolOf(const std::string& series) { return series.substr(0, 2); }

std::string slopeText(const SlopeClass& s)
{
    return std::to_string(s.lo) + " to " + std::to_string(s.hi) + " percent slopes";
}

std::string surfaceTexture(const Component& c)
{
    if (c.horizons.empty())
        return "";
    const Horizon& h = c.horizons.front();
    if (h.desgnmaster == "O")
        return "muck";
    if (!h.sand.r || !h.clay.r)
        return "loam";
    return textureClass(*h.sand.r, *h.clay.r);
}

std::string floodPhase(const Series& s)
{
    return s.floodClass >= 4 ? ", frequently flooded" : (s.floodClass == 3 ? ", occasionally flooded" : "");
}

// Splits total into n whole percents of at least 2 each, largest first.
std::vector<int> split(Random& r, int total, int n)
{
    std::vector<int> parts;
    if (n <= 0)
        return parts;
    std::vector<double> w;
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        w.push_back(r.real(1.0, 3.0));
        sum += w.back();
    }
    int used = 0;
    for (int i = 0; i < n; ++i) {
        int p = i + 1 == n ? total - used : std::max(2, int(total * w[i] / sum));
        p = std::max(2, std::min(p, total - used - 2 * (n - i - 1)));
        parts.push_back(p);
        used += p;
    }
    std::sort(parts.rbegin(), parts.rend());
    return parts;
}

void setPercent(Random& r, Component& c, int pct)
{
    c.pct = pct;
    c.pctL = std::max(1, pct - r.between(5, 15));
    c.pctH = std::min(100, pct + r.between(5, 15));
}

Component minorComponent(Random& r, AreaContext& ctx, const SlopeClass& slope)
{
    const double roll = r.unit();
    if (roll < 0.06)
        return miscComponent(r, r.chance(0.5) ? "Rock outcrop" : "Urban land", slope, ctx.climate);
    Component c = seriesComponent(r, r.pick(ctx.series), slope, ctx.climate);
    if (roll < 0.10) {
        // Named in the map unit but never sampled: no horizon data.
        c.horizons.clear();
        c.crops.clear();
    }
    return c;
}

std::string uniqueSymbol(AreaContext& ctx, std::string wanted, char slopeLetter)
{
    if (wanted.size() <= 6 && ctx.symbols.insert(wanted).second)
        return wanted;
    for (;;) {
        std::string numeric = std::to_string(++ctx.numericSymbol) + slopeLetter;
        if (ctx.symbols.insert(numeric).second)
            return numeric;
    }
}

OptS farmland(const Component& c, const Series* s)
{
    if (!c.nirrcapcl)
        return std::string("Not prime farmland");
    const int cap = std::stoi(*c.nirrcapcl);
    const auto& list = choices("farmland_classification");
    if (s && s->floodClass >= 3 && cap <= 5)
        return list[2];
    if (cap <= 2 && c.nirrcapscl.value_or("") == "w")
        return list[1];
    if (cap <= 2)
        return list[0];
    if (cap == 3)
        return list[3];
    return list[4];
}

MapUnit makeMapUnit(Random& r, AreaContext& ctx, std::int64_t& cokey)
{
    MapUnit mu;
    const Series& s0 = r.pick(ctx.series);
    const std::string letters = s0.type->slopeClasses;
    const SlopeClass& slope = slopeClass(letters[r.index(letters.size())]);
    const double roll = r.unit();
    const Series* main = &s0;

    if (roll < 0.05) {
        // Miscellaneous areas: water, pits, rock outcrop and urban land complexes.
        const int which = r.between(0, 3);
        if (which == 0) {
            mu.components.push_back(miscComponent(r, "Water", slopeClass('A'), ctx.climate));
            mu.muname = "Water";
            mu.musym = uniqueSymbol(ctx, "W", 'A');
            setPercent(r, mu.components[0], 100);
            main = nullptr;
        } else if (which == 1) {
            mu.components.push_back(miscComponent(r, "Pits, gravel", slope, ctx.climate));
            mu.muname = "Pits, gravel";
            mu.musym = uniqueSymbol(ctx, "Pg", slope.letter);
            setPercent(r, mu.components[0], 100);
            main = nullptr;
        } else {
            mu.mukind = "Complex";
            const std::string misc = which == 2 ? "Rock outcrop" : "Urban land";
            mu.components.push_back(miscComponent(r, misc, slope, ctx.climate));
            mu.components.push_back(seriesComponent(r, s0, slope, ctx.climate));
            mu.components.push_back(minorComponent(r, ctx, slope));
            const int p0 = 5 * r.between(10, 12);
            const int p1 = 5 * r.between(5, 7);
            setPercent(r, mu.components[0], p0);
            setPercent(r, mu.components[1], p1);
            setPercent(r, mu.components[2], 100 - p0 - p1);
            mu.components[1].major = true;
            mu.muname = misc + "-" + s0.name + " complex, " + slopeText(slope);
            mu.musym = uniqueSymbol(ctx, (which == 2 ? "Ro" : "Ub") + std::string(1, slope.letter), slope.letter);
        }
        mu.components[0].major = true;
        if (mu.mukind.empty())
            mu.mukind = "Consociation";
    } else {
        int majors = 1;
        int minors = r.between(1, 4);
        std::vector<int> majorPct;
        if (roll < 0.08) {
            minors = 0;   // one-component map unit
            majorPct = {100};
            mu.mukind = "Consociation";
        } else if (roll < 0.11) {
            majors = 3;   // many components
            minors = r.between(5, 9);
            majorPct = {20, 15, 12};
            mu.mukind = "Association";
        } else if (roll < 0.65) {
            majorPct = {5 * r.between(14, 18)};
            minors = std::min(minors, (100 - majorPct[0]) / 2);
            mu.mukind = "Consociation";
        } else if (roll < 0.90) {
            majors = 2;
            majorPct = {5 * r.between(8, 11), 5 * r.between(5, 8)};
            minors = r.between(1, 3);
            mu.mukind = "Complex";
        } else {
            majors = 3;
            majorPct = {5 * r.between(6, 8), 5 * r.between(4, 6), 5 * r.between(3, 4)};
            minors = r.between(1, 2);
            mu.mukind = "Association";
        }
        std::vector<const Series*> majorSeries = {&s0};
        while (int(majorSeries.size()) < majors) {
            const Series* next = &r.pick(ctx.series);
            if (ctx.series.size() > 3 && std::find(majorSeries.begin(), majorSeries.end(), next) != majorSeries.end())
                continue;
            majorSeries.push_back(next);
        }
        int used = 0;
        for (int i = 0; i < majors; ++i) {
            Component c = seriesComponent(r, *majorSeries[i], slope, ctx.climate);
            c.major = true;
            setPercent(r, c, majorPct[i]);
            used += majorPct[i];
            mu.components.push_back(std::move(c));
        }
        if (minors == 0 && used < 100)
            setPercent(r, mu.components[0], *mu.components[0].pct + 100 - used);
        // Minor components stay below the smallest major one; what they cannot take goes to
        // the first major component.
        const int cap = std::min(15, *std::min_element(majorPct.begin(), majorPct.end()));
        int surplus = 0;
        for (int p : split(r, 100 - used, minors)) {
            Component c = minorComponent(r, ctx, slope);
            setPercent(r, c, std::min(p, cap));
            surplus += p - std::min(p, cap);
            mu.components.push_back(std::move(c));
        }
        if (surplus > 0)
            setPercent(r, mu.components[0], *mu.components[0].pct + surplus);

        const std::string range = slopeText(slope);
        const Component& first = mu.components.front();
        const bool eroded = first.erocl && *first.erocl == "Class 2";
        if (majors == 1) {
            mu.muname = s0.name + " " + surfaceTexture(first) + ", " + range + (eroded ? ", eroded" : "")
                      + floodPhase(s0);
            mu.musym = uniqueSymbol(ctx, symbolOf(s0.name) + slope.letter + (eroded ? "2" : ""), slope.letter);
        } else {
            std::string names = s0.name;
            for (int i = 1; i < majors; ++i)
                names += "-" + majorSeries[i]->name;
            mu.muname = names + (majors == 2 ? " complex, " : " association, ") + range + floodPhase(s0);
            const std::string sym = std::string(1, s0.name[0])
                + char(std::tolower(static_cast<unsigned char>(majorSeries[1]->name[0]))) + slope.letter;
            mu.musym = uniqueSymbol(ctx, sym, slope.letter);
        }
    }

    // Edge cases that real surveys contain, a few percent each.
    auto& comps = mu.components;
    if (comps.size() >= 2 && r.chance(0.05)) {
        // The two largest components share the same percent.
        const int both = *comps[0].pct + *comps[1].pct;
        setPercent(r, comps[0], both / 2);
        setPercent(r, comps[1], both / 2);
        if (both % 2 == 1 && comps.size() > 2)
            setPercent(r, comps.back(), *comps.back().pct + 1);
    }
    if (comps.size() >= 3 && r.chance(0.04))
        comps.pop_back();   // the listed components cover less than the whole map unit
    for (auto& c : comps)
        if (r.chance(0.02))
            c.pctL = c.pct = c.pctH = std::nullopt;

    for (auto& c : comps)
        c.cokey = std::to_string(cokey++);
    mu.acres = r.between(20, 4000);
    mu.farmlndcl = farmland(comps.front(), main);
    return mu;
}

SurveyArea makeArea(Random& r, int index, std::int64_t lkey)
{
    SurveyArea a;
    a.lkey = std::to_string(lkey);
    a.areasymbol = std::string(kStateSymbol) + (index * 2 + 1 < 100 ? "0" : "")
                 + (index * 2 + 1 < 10 ? "0" : "") + std::to_string(index * 2 + 1);
    a.areaname = countyName(std::size_t(index)) + " County, " + kStateName;
    a.cordate = std::to_string(r.between(2004, 2019)) + "-" + twoDigits(r.between(1, 12)) + "-"
              + twoDigits(r.between(1, 28));
    a.ssastatus = r.chance(0.7) ? "Updated" : "Initial";
    a.projectscale = r.chance(0.8) ? 24000 : 12000;
    a.acres = r.between(180000, 420000);
    return a;
}

// Writes the rows of every survey area; the writer's statements end with this function.
SurveyLayout writeSurvey(Database& db, const SampleOptions& o)
{
    SoilsWriter writer(db);
    writer.writeMetadata("2021-10-04 13:22:05");

    SurveyLayout layout;
    std::int64_t mukey = 400001;
    std::int64_t cokey = 10000001;
    const int areas = std::max(1, o.areas);
    const std::size_t seriesPool = seriesNameCount();
    for (int i = 0; i < areas; ++i) {
        Random r = Random::derived(o.seed, kAreaStream, std::uint64_t(i));
        const SurveyArea area = makeArea(r, i, 100 + i);
        writer.writeArea(area);

        AreaContext ctx;
        ctx.climate = {r.real(150, 900), round1(r.real(7, 13)), r.between(650, 1100), r.between(130, 190)};
        // Neighbouring areas share part of their series, as adjoining surveys do.
        const int count = r.between(25, 40);
        const std::size_t start = std::size_t(i) * 17 % seriesPool;
        for (int k = 0; k < count; ++k)
            ctx.series.push_back(makeSeries(o.seed, (start + std::size_t(k) * 3 + r.index(3)) % seriesPool));

        const int units = o.mapunits / areas + (i < o.mapunits % areas ? 1 : 0);
        std::vector<LayerUnit> listed;
        for (int u = 0; u < units; ++u) {
            MapUnit mu = makeMapUnit(r, ctx, cokey);
            mu.mukey = std::to_string(mukey++);
            writer.writeMapUnit(mu, area.lkey);
            listed.push_back({mu.mukey, mu.musym});
        }
        // The survey lists its map units by symbol.
        std::vector<LayerUnit> sorted = listed;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const LayerUnit& a, const LayerUnit& b) { return a.musym < b.musym; });
        std::vector<std::string> order;
        for (const auto& u : sorted)
            order.push_back(u.mukey);
        writer.writeSortOrder(area.lkey, i + 1, order);
        layout.areas.push_back(std::move(listed));
        layout.areaSymbols.push_back(area.areasymbol);
    }
    layout.lastMukey = mukey - 1;
    return layout;
}

} // namespace

SurveyLayout writeSoilsDatabase(const std::string& path, const SampleOptions& o)
{
    Database db(path);
    db.exec("PRAGMA journal_mode=MEMORY");
    db.exec("PRAGMA synchronous=OFF");
    db.exec("BEGIN");
    createTables(db);
    SurveyLayout layout = writeSurvey(db, o);
    createIndexes(db);
    db.exec("COMMIT");
    db.close();
    return layout;
}

} // namespace qln::sample
