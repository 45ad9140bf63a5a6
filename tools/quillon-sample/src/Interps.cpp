#include "Interps.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace qln::sample {
namespace {

struct Limitation {
    std::string name;
    double degree;   // 0 no limitation .. 1 full limitation
    int id = 0;      // position in its rule, which keys the reason
};

// 1 below full, 0 beyond none, linear between.
double below(double value, double full, double none)
{
    if (value <= full)
        return 1.0;
    if (value >= none)
        return 0.0;
    return (none - value) / (none - full);
}

double above(double value, double none, double full) { return 1.0 - below(value, none, full); }

struct Facts {
    OptI wet;
    int floodIndex = 0;   // 0 none .. 5 very frequent
    bool ponded = false;
    OptD slope;
    OptI bedrock;
    double maxLep = 0;
    OptD minKsatDeep;   // slowest layer between 60 and 150 cm
    OptD maxKsatDeep;
    double maxClayUpper = 0;
    bool frostHigh = false;
};

Facts factsOf(const Component& c)
{
    static const std::vector<std::string> kFlood = {"None", "Very rare", "Rare", "Occasional",
                                                    "Frequent", "Very frequent"};
    Facts f;
    f.wet = wettestTop(c);
    for (const auto& m : c.months) {
        if (m.flodfreqcl) {
            const auto it = std::find(kFlood.begin(), kFlood.end(), *m.flodfreqcl);
            if (it != kFlood.end())
                f.floodIndex = std::max(f.floodIndex, int(it - kFlood.begin()));
        }
        if (m.pondfreqcl && *m.pondfreqcl != "None")
            f.ponded = true;
    }
    f.slope = c.slope.r;
    if (c.restriction && c.restriction->kind.find("bedrock") != std::string::npos)
        f.bedrock = c.restriction->top;
    for (const auto& h : c.horizons) {
        if (h.lep)
            f.maxLep = std::max(f.maxLep, *h.lep);
        if (h.bottom > 60 && h.top < 150 && h.ksat.r) {
            f.minKsatDeep = std::min(f.minKsatDeep.value_or(1e9), *h.ksat.r);
            f.maxKsatDeep = std::max(f.maxKsatDeep.value_or(0), *h.ksat.r);
        }
        if (h.top < 100 && h.clay.r)
            f.maxClayUpper = std::max(f.maxClayUpper, *h.clay.r);
    }
    f.frostHigh = c.frostact && *c.frostact == "High";
    return f;
}

using RuleFn = std::function<std::vector<Limitation>(const Facts&)>;

struct Rule {
    std::string key;
    std::string name;
    RuleFn limits;
};

const std::vector<Rule>& rules()
{
    static const std::vector<Rule> list = {
        {"4101", "Dwellings with Cellars",
         [](const Facts& f) {
             return std::vector<Limitation>{
                 {"Depth to saturated zone", f.wet ? below(*f.wet, 75, 150) : 0.0},
                 {"Flooding", f.floodIndex >= 1 ? 1.0 : 0.0},
                 {"Ponding", f.ponded ? 1.0 : 0.0},
                 {"Slope", f.slope ? above(*f.slope, 8, 15) : 0.0},
                 {"Depth to hard bedrock", f.bedrock ? below(*f.bedrock, 100, 150) : 0.0},
                 {"Shrink-swell", above(f.maxLep, 3, 6)}};
         }},
        {"4102", "Effluent Drainfields",
         [](const Facts& f) {
             return std::vector<Limitation>{
                 {"Depth to saturated zone", f.wet ? below(*f.wet, 120, 180) : 0.0},
                 {"Slow water movement", f.minKsatDeep ? below(*f.minKsatDeep, 1.5, 4.0) : 0.0},
                 {"Seepage, bottom layer", f.maxKsatDeep ? above(*f.maxKsatDeep, 40, 100) : 0.0},
                 {"Flooding", f.floodIndex >= 2 ? 1.0 : (f.floodIndex == 1 ? 0.4 : 0.0)},
                 {"Ponding", f.ponded ? 1.0 : 0.0},
                 {"Depth to bedrock", f.bedrock ? below(*f.bedrock, 100, 180) : 0.0},
                 {"Slope", f.slope ? above(*f.slope, 8, 15) : 0.0}};
         }},
        {"4103", "Unpaved Farm Lanes",
         [](const Facts& f) {
             return std::vector<Limitation>{
                 {"Low strength", above(f.maxClayUpper, 30, 45)},
                 {"Depth to saturated zone", f.wet ? below(*f.wet, 30, 75) : 0.0},
                 {"Flooding", f.floodIndex >= 4 ? 1.0 : (f.floodIndex == 3 ? 0.6 : 0.0)},
                 {"Slope", f.slope ? above(*f.slope, 8, 15) : 0.0},
                 {"Frost action", f.frostHigh ? 0.5 : 0.0},
                 {"Depth to hard bedrock", f.bedrock ? below(*f.bedrock, 50, 100) : 0.0}};
         }},
    };
    return list;
}

} // namespace

const std::vector<std::string>& interpRuleNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& r : rules())
            n.push_back(r.name);
        return n;
    }();
    return names;
}

OptI wettestTop(const Component& c, int firstMonth, int lastMonth)
{
    OptI best;
    for (const auto& m : c.months)
        if (m.seq >= firstMonth && m.seq <= lastMonth && m.wetTop)
            best = std::min(best.value_or(*m.wetTop), *m.wetTop);
    return best;
}

std::vector<InterpRow> interpret(const Component& c, int maxReasons)
{
    std::vector<InterpRow> out;
    const Facts facts = factsOf(c);
    for (const auto& rule : rules()) {
        InterpRow main;
        main.mrulekey = rule.key;
        main.mrulename = rule.name;
        main.rulekey = rule.key;
        main.rulename = rule.name;
        if (c.horizons.empty()) {
            main.interphrc = kNotRated;
            out.push_back(main);
            continue;
        }
        std::vector<Limitation> limits = rule.limits(facts);
        for (std::size_t i = 0; i < limits.size(); ++i)
            limits[i].id = int(i) + 1;
        std::stable_sort(limits.begin(), limits.end(),
                         [](const Limitation& a, const Limitation& b) { return a.degree > b.degree; });
        const double worst = std::floor(limits.front().degree * 100.0 + 0.5) / 100.0;
        main.interphr = worst;
        main.interphrc = worst >= 1.0 ? kSevereLimitations
                       : worst > 0.0  ? kModerateLimitations
                                      : kFewLimitations;
        out.push_back(main);
        int seq = 0;
        for (const auto& l : limits) {
            if (l.degree <= 0.0 || seq >= maxReasons)
                break;
            InterpRow reason;
            reason.mrulekey = rule.key;
            reason.mrulename = rule.name;
            reason.seqnum = ++seq;
            reason.rulekey = rule.key + "0" + std::to_string(l.id);
            reason.rulename = l.name;
            reason.ruledepth = 1;
            reason.interphr = std::floor(l.degree * 100.0 + 0.5) / 100.0;
            reason.interphrc = l.name;
            out.push_back(reason);
        }
    }
    return out;
}

} // namespace qln::sample
