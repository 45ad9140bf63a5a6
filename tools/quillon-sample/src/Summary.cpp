#include "Summary.h"

#include "Domains.h"
#include "Interps.h"
#include "Soil.h"

#include <algorithm>

namespace qln::sample {
namespace {

struct Condition {
    std::string value;
    int pct = 0;
};

// The value that covers the largest share of the map unit; the first met wins a tie.
std::optional<Condition> dominant(const std::vector<std::pair<OptS, OptI>>& items)
{
    std::vector<Condition> conditions;
    for (const auto& [value, pct] : items) {
        if (!value || !pct)
            continue;
        auto it = std::find_if(conditions.begin(), conditions.end(),
                               [&](const Condition& c) { return c.value == *value; });
        if (it == conditions.end())
            conditions.push_back({*value, *pct});
        else
            it->pct += *pct;
    }
    if (conditions.empty())
        return std::nullopt;
    const Condition* best = &conditions.front();
    for (const auto& c : conditions)
        if (c.pct > best->pct)
            best = &c;
    return *best;
}

int rank(const std::string& domain, const std::string& value)
{
    const auto& list = choices(domain);
    return int(std::find(list.begin(), list.end(), value) - list.begin());
}

OptS worst(const std::string& domain, const std::vector<OptS>& values)
{
    OptS best;
    for (const auto& v : values)
        if (v && (!best || rank(domain, *v) > rank(domain, *best)))
            best = v;
    return best;
}

OptS floodOf(const Component& c)
{
    std::vector<OptS> months;
    for (const auto& m : c.months)
        months.push_back(m.flodfreqcl);
    return worst("flooding_frequency_class", months);
}

} // namespace

OptD waterStorage(const Component& c, int top, int bottom)
{
    OptD sum;
    for (const auto& h : c.horizons) {
        const int t = std::max(top, h.top);
        const int b = std::min(bottom, h.bottom);
        if (b > t && h.awc.r)
            sum = sum.value_or(0.0) + *h.awc.r * (b - t);
    }
    return sum;
}

MapUnitSummary summarize(const MapUnit& mu)
{
    MapUnitSummary s;
    const Component* first = mu.components.empty() ? nullptr : &mu.components.front();
    if (first)
        s.slopegraddcp = first->slope.r;

    double slopeSum = 0;
    int slopePct = 0;
    double aws[4] = {0, 0, 0, 0};
    int awsPct[4] = {0, 0, 0, 0};
    static const int kAwsDepth[4] = {25, 50, 100, 150};
    int hydricPct = 0, pondPct = 0, totalPct = 0;
    std::vector<std::pair<OptS, OptI>> flood, drain, hydgrp, icc, nicc;
    std::vector<OptS> floods, drains;
    for (const auto& c : mu.components) {
        if (c.pct) {
            totalPct += *c.pct;
            if (c.slope.r) {
                slopeSum += *c.slope.r * *c.pct;
                slopePct += *c.pct;
            }
            for (int i = 0; i < 4; ++i)
                if (const OptD w = waterStorage(c, 0, kAwsDepth[i])) {
                    aws[i] += *w * *c.pct;
                    awsPct[i] += *c.pct;
                }
            if (c.hydricrating && *c.hydricrating == "Yes")
                hydricPct += *c.pct;
            const bool ponded = std::any_of(c.months.begin(), c.months.end(), [](const Month& m) {
                return m.pondfreqcl && *m.pondfreqcl != "None";
            });
            if (ponded)
                pondPct += *c.pct;
        }
        if (c.restriction && c.restriction->kind.find("bedrock") != std::string::npos)
            s.brockdepmin = std::min(s.brockdepmin.value_or(c.restriction->top), c.restriction->top);
        if (const OptI wet = wettestTop(c))
            s.wtdepannmin = std::min(s.wtdepannmin.value_or(*wet), *wet);
        if (const OptI wet = wettestTop(c, 4, 6))
            s.wtdepaprjunmin = std::min(s.wtdepaprjunmin.value_or(*wet), *wet);
        const OptS fl = floodOf(c);
        flood.push_back({fl, c.pct});
        floods.push_back(fl);
        drain.push_back({c.drainagecl, c.pct});
        drains.push_back(c.drainagecl);
        hydgrp.push_back({c.hydgrp, c.pct});
        icc.push_back({c.irrcapcl, c.pct});
        nicc.push_back({c.nirrcapcl, c.pct});
    }
    if (slopePct > 0)
        s.slopegradwta = round1(slopeSum / slopePct);
    OptD* awsOut[4] = {&s.aws025wta, &s.aws050wta, &s.aws0100wta, &s.aws0150wta};
    for (int i = 0; i < 4; ++i)
        if (awsPct[i] > 0)
            *awsOut[i] = round2(aws[i] / awsPct[i]);
    if (const auto d = dominant(flood))
        s.flodfreqdcd = d->value;
    s.flodfreqmax = worst("flooding_frequency_class", floods);
    if (totalPct > 0) {
        s.pondfreqprs = std::to_string(pondPct);
        s.hydclprs = hydricPct;
    }
    if (const auto d = dominant(drain))
        s.drclassdcd = d->value;
    s.drclasswettest = worst("drainage_class", drains);
    if (const auto d = dominant(hydgrp))
        s.hydgrpdcd = d->value;
    if (const auto d = dominant(icc)) {
        s.iccdcd = d->value;
        s.iccdcdpct = d->pct;
    }
    if (const auto d = dominant(nicc)) {
        s.niccdcd = d->value;
        s.niccdcdpct = d->pct;
    }
    return s;
}

std::vector<MapUnitText> describe(const MapUnit& mu, const std::vector<std::string>& dwellingRatings)
{
    const std::string kind = "Nontechnical description";
    std::vector<MapUnitText> out;
    if (mu.components.empty())
        return out;
    const Component& main = mu.components.front();

    out.push_back({kind, "Setting",
                   "This map unit is on " + main.geomdesc + ". Slopes range from "
                       + std::to_string(int(main.slope.l.value_or(0))) + " to "
                       + std::to_string(int(main.slope.h.value_or(0)))
                       + " percent. Areas are irregular in shape and range from 5 to "
                       + std::to_string(20 + mu.acres % 180) + " acres."});

    std::string composition = "The map unit is made up of ";
    for (std::size_t i = 0; i < mu.components.size(); ++i) {
        const Component& c = mu.components[i];
        if (i > 0)
            composition += i + 1 == mu.components.size() ? ", and " : ", ";
        composition += c.name + (c.pct ? " (about " + std::to_string(*c.pct) + " percent)" : "");
    }
    out.push_back({kind, "Composition", composition + "."});

    if (!main.horizons.empty()) {
        std::string soil = "The " + main.name + " soil is "
            + (main.drainagecl ? std::string(*main.drainagecl) : std::string("of unknown drainage"))
            + ". Typically the surface layer is " + std::to_string(main.horizons.front().bottom)
            + " cm thick.";
        if (const OptD w = waterStorage(main, 0, 150))
            soil += " Available water storage to 150 cm is about " + std::to_string(int(*w + 0.5))
                  + " cm.";
        if (main.restriction)
            soil += " " + main.restriction->kind + " is at a depth of about "
                  + std::to_string(main.restriction->top) + " cm.";
        if (const OptI wet = wettestTop(main))
            soil += " A seasonal high water table is at " + std::to_string(*wet)
                  + " cm in the wettest months.";
        out.push_back({kind, "Soil properties", soil});
    }

    if (!dwellingRatings.empty())
        out.push_back({kind, "Limitations",
                       "For dwellings with cellars the main soil has " + dwellingRatings.front()
                           + "; check the site before building."});

    if (main.nirrcapcl && std::stoi(*main.nirrcapcl) <= 4)
        out.push_back({kind, "Land use",
                       "Most areas are used for cropland or hay. Capability class "
                           + *main.nirrcapcl + " without irrigation."});
    else
        out.push_back({kind, "Land use", "Most areas are used for pasture, woodland or wildlife habitat."});

    if (mu.acres % 7 == 0)
        out.push_back({"Miscellaneous notes", "Note",
                       "Map unit boundaries were adjusted to the adjoining survey in this area."});
    return out;
}

} // namespace qln::sample
