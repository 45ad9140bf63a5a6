#include "Soil.h"

#include "Domains.h"
#include "Names.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace qln::sample {

double round1(double x) { return std::floor(x * 10.0 + 0.5) / 10.0; }
double round2(double x) { return std::floor(x * 100.0 + 0.5) / 100.0; }

namespace {

double clampd(double x, double lo, double hi) { return std::min(hi, std::max(lo, x)); }

double roundTo(double x, int decimals)
{
    switch (decimals) {
    case 0: return std::floor(x + 0.5);
    case 1: return round1(x);
    default: return round2(x);
    }
}

// A low-representative-high triple around r, all within [lo, hi].
Range range(double r, double spread, double lo, double hi, int decimals)
{
    r = roundTo(clampd(r, lo, hi), decimals);
    return {roundTo(clampd(r - spread, lo, hi), decimals), r,
            roundTo(clampd(r + spread, lo, hi), decimals)};
}

// Depths end on multiples of 5 cm more often than not, as described profiles do; that is
// what puts horizon boundaries right on the usual layer limits (25, 50, 100 cm).
int snap(Random& r, int depth)
{
    return r.chance(0.7) ? std::max(5, (depth + 2) / 5 * 5) : depth;
}

std::string domainChoice(const char* domain, int index) { return choices(domain)[index]; }

bool hasBedrock(const char* restriction)
{
    return restriction && (std::strcmp(restriction, "Lithic bedrock") == 0
                           || std::strcmp(restriction, "Paralithic bedrock") == 0);
}

std::string kFactor(double sand, double silt, double clay)
{
    if (sand >= 70.0)
        return sand >= 85.0 ? ".10" : ".17";
    if (silt >= 60.0)
        return ".49";
    if (silt >= 40.0)
        return clay >= 27.0 ? ".37" : ".43";
    if (clay >= 35.0)
        return ".24";
    return ".32";
}

Horizon mineralHorizon(Random& r, const Series& s, const LayerTemplate& layer, int top, int bottom)
{
    const Archetype& a = *s.type;
    Horizon h;
    h.hzname = layer.name;
    h.desgnmaster = layer.master;
    h.top = top;
    h.bottom = bottom;

    double clay = 0, sand = 0, ph = 0, om = 0, db = 1.45;
    const double omTop = a.omSurface * s.omFactor;
    switch (layer.kind) {
    case LayerKind::Surface: clay = a.clay[0]; sand = a.sand[0]; ph = a.ph[0]; om = omTop; db = 1.30; break;
    case LayerKind::Eluvial: clay = a.clay[0] - 3; sand = a.sand[0] + 2; ph = a.ph[0] - 0.3; om = omTop * 0.35; db = 1.40; break;
    case LayerKind::Buried: clay = a.clay[0]; sand = a.sand[0]; ph = a.ph[0]; om = omTop * 0.6; db = 1.35; break;
    case LayerKind::Subsoil: clay = a.clay[1]; sand = a.sand[1]; ph = a.ph[1]; om = omTop * 0.25; db = 1.45; break;
    case LayerKind::Calcic: clay = a.clay[1]; sand = a.sand[1]; ph = a.ph[1] + 0.2; om = omTop * 0.3; db = 1.45; break;
    case LayerKind::Transition:
        clay = (a.clay[1] + a.clay[2]) / 2; sand = (a.sand[1] + a.sand[2]) / 2;
        ph = (a.ph[1] + a.ph[2]) / 2; om = omTop * 0.15; db = 1.50; break;
    case LayerKind::Substratum:
    case LayerKind::Organic:
        clay = a.clay[2]; sand = a.sand[2]; ph = a.ph[2];
        om = a.omSurface > 20 ? r.real(2.0, 4.0) : std::max(0.1, omTop * 0.08); db = 1.55; break;
    }
    clay = clampd(clay + s.clayShift + r.real(-3, 3), 1, 65);
    sand = clampd(sand + s.sandShift + r.real(-5, 5), 1, 97);
    if (clay + sand > 98.0)
        sand = 98.0 - clay;
    // Work in tenths of a percent so that the three fractions add up to exactly 100.
    const int clayT = static_cast<int>(std::lround(clay * 10));
    const int sandT = static_cast<int>(std::lround(sand * 10));
    const int siltT = 1000 - clayT - sandT;
    clay = clayT / 10.0;
    sand = sandT / 10.0;
    const double silt = siltT / 10.0;
    h.clay = range(clay, r.real(2, 5), 0, 100, 1);
    h.sand = range(sand, r.real(4, 10), 0, 100, 1);
    h.silt = range(silt, r.real(4, 10), 0, 100, 1);
    h.clay.r = clay;
    h.sand.r = sand;
    h.silt.r = silt;

    om *= r.real(0.85, 1.15);
    h.om = range(om, om * 0.4, 0, 90, om < 1.0 ? 2 : 1);
    const bool densic = layer.name[0] == 'C' && layer.name[1] == 'd';
    db = densic ? r.real(1.75, 1.90) : db - 0.02 * std::min(om, 8.0) + (sand > 70 ? 0.1 : 0.0);
    h.db = range(db, 0.1, 0.8, 2.0, 2);

    double ksat = sand >= 70 ? r.real(40, 140)
                : clay >= 35 ? r.real(0.4, 1.4)
                : clay >= 27 ? r.real(1.0, 4.0)
                             : r.real(4.0, 14.0);
    if (densic)
        ksat = r.real(0.1, 0.9);
    ksat = round2(ksat);
    h.ksat = {round2(ksat * 0.3), ksat, round2(std::min(705.0, ksat * 3.0))};

    if (std::strcmp(a.key, "shallow-bedrock") == 0) {
        h.fraggt10 = r.between(0, 5);
        h.frag3to10 = r.between(5, 20);
    } else if (std::strcmp(a.key, "acid-forest") == 0) {
        h.fraggt10 = 0;
        h.frag3to10 = r.between(0, 10);
    } else {
        h.fraggt10 = 0;
        h.frag3to10 = 0;
    }
    double awc = 0.04 + 0.0022 * silt + 0.0008 * clay + 0.01 * std::min(om, 5.0);
    if (sand >= 85)
        awc = r.real(0.05, 0.08);
    awc *= 1.0 - (*h.frag3to10 + *h.fraggt10) / 100.0;
    h.awc = range(awc, 0.02, 0.01, 0.30, 2);

    h.lep = round1(clampd((clay - 12.0) * 0.18, 0.5, 12.0));
    h.ll = std::floor(15.0 + 0.55 * clay + 0.5);
    h.pi = std::floor(std::max(0.0, 0.55 * clay - 6.0) + 0.5);
    h.kwfact = kFactor(sand, silt, clay);
    h.kffact = *h.frag3to10 + *h.fraggt10 > 15 ? std::string(".24") : *h.kwfact;
    ph = clampd(ph + s.phShift + r.real(-0.3, 0.3), 3.5, 9.5);
    h.ph = range(ph, r.real(0.3, 0.6), 3.5, 9.5, 1);
    const bool limy = a.calcareous
        && (layer.kind == LayerKind::Calcic || layer.kind == LayerKind::Substratum);
    h.caco3 = limy ? r.between(10, 35) : (ph > 7.4 ? r.between(0, 5) : 0);
    h.gypsum = a.saline && layer.kind == LayerKind::Calcic ? r.between(0, 2) : 0;
    h.sar = a.saline ? round1(r.real(2, 12)) : 0.0;
    h.ec = a.saline ? round1(r.real(2, 8)) : round1(r.real(0, 1));
    h.cec = round1(0.55 * clay + 2.2 * std::min(om, 10.0) + 1.0);
    return h;
}

Horizon organicHorizon(Random& r, const Series& s, const LayerTemplate& layer, int top, int bottom)
{
    Horizon h;
    h.hzname = layer.name;
    h.desgnmaster = layer.master;
    h.top = top;
    h.bottom = bottom;
    const double om = clampd(s.type->omSurface * s.omFactor * r.real(0.85, 1.15), 25, 85);
    h.om = range(om, 10, 20, 90, 1);
    h.db = range(r.real(0.2, 0.35), 0.05, 0.1, 0.6, 2);
    h.ksat = range(r.real(4, 40), 3, 1, 100, 2);
    h.awc = range(r.real(0.35, 0.45), 0.05, 0.2, 0.6, 2);
    h.ph = range(clampd(s.type->ph[0] + s.phShift + r.real(-0.3, 0.3), 3.5, 9.5), 0.5, 3.5, 9.5, 1);
    h.cec = round1(r.real(80, 150));
    h.ec = round1(r.real(0, 1));
    h.caco3 = 0;
    h.fraggt10 = 0;
    h.frag3to10 = 0;
    return h;
}

// Bedrock below the soil: hardly any property is recorded for it.
Horizon bedrockHorizon(Random& r, bool lithic, int top)
{
    Horizon h;
    h.hzname = lithic ? "R" : "Cr";
    h.desgnmaster = lithic ? "R" : "C";
    h.top = top;
    h.bottom = top + snap(r, r.between(20, 30));
    const double ksat = lithic ? r.real(0.01, 0.3) : r.real(0.3, 3.0);
    h.ksat = {round2(ksat * 0.5), round2(ksat), round2(ksat * 2)};
    h.awc = {0.0, 0.0, 0.0};
    return h;
}

// A few properties of a few horizons are missing, as in surveyed data.
void dropSome(Random& r, Horizon& h)
{
    Range* ranges[] = {&h.clay, &h.om, &h.ph, &h.ksat, &h.awc, &h.db};
    for (Range* x : ranges)
        if (r.chance(0.015))
            *x = Range{};
    if (r.chance(0.015))
        h.cec.reset();
}

std::vector<Horizon> makeHorizons(Random& r, const Series& s, int restDepth)
{
    const Archetype& a = *s.type;
    const bool bedrock = hasBedrock(a.restriction);
    const int stop = bedrock ? restDepth : (r.chance(0.6) ? 203 : 152);
    std::vector<const LayerTemplate*> present;
    for (const auto& layer : a.layers)
        if (layer.presence >= 1.0 || r.chance(layer.presence))
            present.push_back(&layer);

    std::vector<Horizon> out;
    int top = 0;
    for (std::size_t i = 0; i < present.size() && top < stop; ++i) {
        const LayerTemplate& layer = *present[i];
        int bottom = stop;
        if (i + 1 < present.size())
            bottom = std::min(stop, std::max(top + 3, snap(r, top + r.between(layer.thickLo, layer.thickHi))));
        Horizon h = layer.kind == LayerKind::Organic ? organicHorizon(r, s, layer, top, bottom)
                                                     : mineralHorizon(r, s, layer, top, bottom);
        dropSome(r, h);
        out.push_back(std::move(h));
        top = bottom;
    }
    if (bedrock)
        out.push_back(bedrockHorizon(r, std::strcmp(a.restriction, "Lithic bedrock") == 0, top));
    return out;
}

std::vector<Month> makeMonths(Random& r, const Series& s, const std::vector<Horizon>& horizons)
{
    static const double kSeason[12] = {0.3, 0.2, 0.0, 0.0, 0.1, 0.4, 0.8, 1.0, 1.0, 0.8, 0.6, 0.4};
    const Archetype& a = *s.type;
    const int wettest = a.wettestTop == 999 ? 999 : std::max(0, a.wettestTop + s.wetShift);
    const int amplitude = r.between(60, 120);
    const bool droughty = !horizons.empty() && horizons.front().sand.r.value_or(0) >= 70;
    std::vector<Month> months;
    for (int m = 1; m <= 12; ++m) {
        Month mo;
        mo.seq = m;
        const bool spring = m >= 3 && m <= 6;
        if (s.floodClass > 0 && spring) {
            mo.flodfreqcl = domainChoice("flooding_frequency_class", s.floodClass);
            mo.floddurcl = s.floodClass >= 4 ? "Long" : (s.floodClass >= 3 ? "Brief" : "Very brief");
        } else {
            mo.flodfreqcl = "None";
        }
        if (a.pondClass > 0 && m >= 3 && m <= 5) {
            mo.pondfreqcl = domainChoice("ponding_frequency_class", a.pondClass);
            mo.ponddurcl = a.pondClass >= 3 ? "Long" : "Brief";
            const int dep = snap(r, r.between(15, 30));
            mo.ponddep = dep;
        } else {
            mo.pondfreqcl = "None";
        }
        if (wettest != 999) {
            const int depth = wettest + static_cast<int>(std::lround(amplitude * kSeason[m - 1]));
            if (depth < 200)
                mo.wetTop = depth;
        }
        if (mo.wetTop) {
            if (*mo.wetTop > 0)
                mo.moisture.push_back({0, *mo.wetTop, "Moist"});
            mo.moisture.push_back({*mo.wetTop, 200, "Wet"});
        } else {
            const bool dry = m >= 7 && m <= 9 && (droughty || r.chance(0.3));
            mo.moisture.push_back({0, 200, dry ? "Dry" : "Moist"});
        }
        months.push_back(std::move(mo));
    }
    return months;
}

int capabilityOf(const Component& c) { return c.nirrcapcl ? std::stoi(*c.nirrcapcl) : 8; }

std::vector<CropYield> makeCrops(Random& r, const Series& s, const Component& c)
{
    struct Crop {
        const char* name;
        const char* units;
        double lo, hi;
        bool tons;
    };
    static const Crop kCrops[] = {
        {"Corn", "Bu", 140, 200, false},        {"Soybeans", "Bu", 40, 60, false},
        {"Winter wheat", "Bu", 50, 75, false},  {"Oats", "Bu", 60, 90, false},
        {"Alfalfa hay", "Tons", 3.5, 5.5, true}, {"Grass-legume hay", "Tons", 3.0, 4.5, true},
        {"Pasture", "AUM", 4.0, 8.0, true}};
    std::vector<CropYield> out;
    const int cap = capabilityOf(c);
    if (c.horizons.empty() || cap > 4)
        return out;
    double p = 1.0 - 0.09 * (cap - 1);
    if (s.type->drainage >= 5)
        p *= 0.85;
    const bool irrigable = std::strcmp(s.type->key, "outwash-sand") == 0;
    if (irrigable)
        p *= 0.75;
    for (const Crop& crop : kCrops) {
        if (!r.chance(0.6))
            continue;
        CropYield y;
        y.crop = crop.name;
        y.units = crop.units;
        const double v = r.real(crop.lo, crop.hi) * p;
        y.nonirr = crop.tons ? round1(v) : std::floor(v + 0.5);
        if (irrigable && !crop.tons)
            y.irr = std::floor(r.real(crop.lo, crop.hi) * 1.15 + 0.5);
        out.push_back(std::move(y));
    }
    return out;
}

void setCapability(Component& c, const Series& s, const SlopeClass& slope)
{
    static const int kBySlope[] = {1, 2, 3, 4, 6, 7};
    int cls = kBySlope[std::string("ABCDEF").find(slope.letter)];
    std::string sub = cls > 1 ? "e" : "";
    const Archetype& a = *s.type;
    if (a.drainage >= 4 && cls < (a.drainage >= 5 ? 3 : 2)) {
        cls = a.drainage >= 5 ? 3 : 2;
        sub = "w";
    }
    if (s.floodClass >= 4 && cls < 5) {
        cls = 5;
        sub = "w";
    }
    const bool sandy = a.sand[1] >= 80;
    const bool shallow = hasBedrock(a.restriction) && s.restDepth < 60;
    if ((sandy && cls < 3) || (shallow && cls < 4)) {
        cls = sandy ? 3 : 4;
        sub = "s";
    }
    c.nirrcapcl = std::to_string(cls);
    if (!sub.empty())
        c.nirrcapscl = sub;
    if (sandy && cls <= 3)
        c.irrcapcl = "2";
}

} // namespace

Series makeSeries(std::uint64_t seed, std::size_t index)
{
    Random r = Random::derived(seed, 1, index);
    Series s;
    s.name = seriesName(index);
    s.type = &archetypes()[r.index(archetypes().size())];
    s.clayShift = r.real(-4, 4);
    s.sandShift = r.real(-6, 6);
    s.phShift = r.real(-0.4, 0.4);
    s.omFactor = r.real(0.8, 1.2);
    s.wetShift = r.between(-10, 20);
    if (s.type->restriction)
        s.restDepth = r.between(s.type->restLo, s.type->restHi);
    s.floodClass = s.type->floodClass;
    if (s.floodClass == 3 && r.chance(0.35))
        s.floodClass = 4;
    else if (s.floodClass == 0 && s.type->drainage >= 2 && r.chance(0.08))
        s.floodClass = 1;
    return s;
}

Component seriesComponent(Random& r, const Series& s, const SlopeClass& slope, const Climate& cl)
{
    const Archetype& a = *s.type;
    Component c;
    c.name = s.name;
    c.kind = r.chance(0.05) ? "Taxadjunct" : "Series";
    const double sl = round1(r.real(slope.lo, slope.hi));
    c.slope = {double(slope.lo), sl, double(slope.hi)};
    c.drainagecl = domainChoice("drainage_class", a.drainage);
    c.hydricrating = a.hydric;
    c.hydgrp = a.hydgrp;
    const int hydIdx = int(std::string("ABCD").find(a.hydgrp[0]));
    const int slopeIdx = int(std::string("ABCDEF").find(slope.letter));
    c.runoff = domainChoice("runoff_class", std::clamp(slopeIdx + hydIdx - 1, 0, 5));
    const bool shallow = hasBedrock(a.restriction) && s.restDepth < 60;
    c.tfact = shallow ? r.between(1, 2) : r.between(3, 5);
    c.wei = a.sand[0] >= 85 ? 134 : a.sand[0] >= 70 ? 86 : a.clay[0] >= 27 ? 48 : 56;
    if (slope.lo >= 5)
        c.erocl = r.chance(0.5) ? "Class 1" : "Class 2";
    else if (s.floodClass >= 3 || a.pondClass > 0)
        c.erocl = "None - deposition";
    const double elev = std::floor(cl.elev + r.real(-40, 120) + 0.5);
    c.elev = {elev - 30, elev, elev + 30};
    c.geomdesc = a.geomdesc;
    c.airtemp = round1(cl.airtemp + r.real(-0.5, 0.5));
    c.map = cl.map + r.between(-30, 30);
    c.ffd = cl.ffd + r.between(-8, 8);
    setCapability(c, s, slope);
    const bool silty = a.sand[0] + s.sandShift < 15;
    c.frostact = silty ? "High" : (a.sand[0] >= 70 ? "Low" : "Moderate");
    c.corcon = a.ph[1] < 5.5 ? "High" : (a.ph[1] < 6.5 ? "Moderate" : "Low");
    c.corsteel = a.drainage >= 4 || a.clay[1] >= 35 ? "High" : (a.drainage == 3 ? "Moderate" : "Low");
    if (a.partsize)
        c.taxclname = std::string(a.partsize) + ", mixed, superactive, mesic " + a.taxsubgroup;
    else if (a.omSurface > 20)
        c.taxclname = std::string("Euic, mesic ") + a.taxsubgroup;
    else
        c.taxclname = std::string("Mixed, mesic ") + a.taxsubgroup;
    c.taxorder = a.taxorder;
    if (a.partsize) {
        std::string ps = a.partsize;
        ps[0] = char(std::tolower(static_cast<unsigned char>(ps[0])));
        c.taxpartsize = ps;
    }
    c.taxtempregime = "mesic";

    int restDepth = s.restDepth;
    if (a.restriction) {
        restDepth = std::max(20, snap(r, s.restDepth + r.between(-5, 5)));
        Restriction rs;
        rs.kind = a.restriction;
        const std::string kind = a.restriction;
        rs.hardness = kind == "Lithic bedrock" ? "Indurated"
                    : kind == "Paralithic bedrock" ? "Moderately cemented"
                    : "Noncemented";
        rs.top = restDepth;
        rs.bottom = hasBedrock(a.restriction) ? restDepth + 25 : 203;
        c.restriction = rs;
    }
    c.horizons = makeHorizons(r, s, restDepth);
    c.months = makeMonths(r, s, c.horizons);
    c.crops = makeCrops(r, s, c);
    if (r.chance(0.02))
        c.drainagecl.reset();
    if (r.chance(0.02))
        c.hydricrating.reset();
    if (r.chance(0.02))
        c.hydgrp.reset();
    if (r.chance(0.01))
        c.slope = Range{};
    return c;
}

Component miscComponent(Random& r, const std::string& name, const SlopeClass& slope, const Climate& cl)
{
    Component c;
    c.name = name;
    c.kind = "Miscellaneous area";
    const double sl = round1(r.real(slope.lo, slope.hi));
    c.slope = {double(slope.lo), sl, double(slope.hi)};
    c.geomdesc = name == "Water" ? "lakes" : (name == "Rock outcrop" ? "ridges" : "uplands");
    const double elev = std::floor(cl.elev + r.real(-40, 120) + 0.5);
    c.elev = {elev - 30, elev, elev + 30};
    if (name != "Water") {
        c.nirrcapcl = "8";
        c.nirrcapscl = "s";
    }
    if (name == "Rock outcrop") {
        c.hydgrp = "D";
        c.runoff = "Very high";
        c.restriction = Restriction{"Lithic bedrock", "Indurated", 0, 25};
    }
    if (name == "Urban land")
        c.runoff = "Very high";
    return c;
}

} // namespace qln::sample
