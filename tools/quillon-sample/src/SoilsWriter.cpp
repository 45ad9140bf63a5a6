#include "SoilsWriter.h"

#include "Domains.h"
#include "Interps.h"
#include "Schema.h"
#include "Summary.h"

#include <cctype>
#include <cmath>
#include <map>

namespace qln::sample {

struct SoilsWriter::Inserters {
    explicit Inserters(Database& db)
        : legend(db, "legend", soilsTable("legend").columnNames()),
          distlegendmd(db, "distlegendmd", soilsTable("distlegendmd").columnNames()),
          mapunit(db, "mapunit", soilsTable("mapunit").columnNames()),
          muaggatt(db, "muaggatt", soilsTable("muaggatt").columnNames()),
          mutext(db, "mutext", soilsTable("mutext").columnNames()),
          mucropyld(db, "mucropyld", soilsTable("mucropyld").columnNames()),
          component(db, "component", soilsTable("component").columnNames()),
          cotext(db, "cotext", soilsTable("cotext").columnNames()),
          corestrictions(db, "corestrictions", soilsTable("corestrictions").columnNames()),
          cocropyld(db, "cocropyld", soilsTable("cocropyld").columnNames()),
          cointerp(db, "cointerp", soilsTable("cointerp").columnNames()),
          chorizon(db, "chorizon", soilsTable("chorizon").columnNames()),
          comonth(db, "comonth", soilsTable("comonth").columnNames()),
          cosoilmoist(db, "cosoilmoist", soilsTable("cosoilmoist").columnNames()),
          sortspec(db, "SYSTEM - Mapunit Sort Specifications",
                   soilsTable("SYSTEM - Mapunit Sort Specifications").columnNames())
    {
    }
    Inserter legend, distlegendmd, mapunit, muaggatt, mutext, mucropyld, component, cotext,
        corestrictions, cocropyld, cointerp, chorizon, comonth, cosoilmoist, sortspec;
};

namespace {

constexpr const char* kDistMdKey = "1";
constexpr const char* kRecDate = "2021-06-15";

Inserter& range(Inserter& ins, const Range& r) { return ins.real(r.l).real(r.r).real(r.h); }

std::string toLowerFirst(std::string s)
{
    if (!s.empty())
        s[0] = char(std::tolower(static_cast<unsigned char>(s[0])));
    return s;
}

OptI plus(const OptI& v, int d)
{
    return v ? OptI(std::max(0, *v + d)) : std::nullopt;
}

} // namespace

SoilsWriter::SoilsWriter(Database& db) : m_db(db), m_ins(std::make_unique<Inserters>(db)) {}

SoilsWriter::~SoilsWriter() = default;

void SoilsWriter::writeMetadata(const std::string& distgendate)
{
    struct Rel {
        const char* parent;
        const char* child;
        const char* column;
    };
    static const Rel kRelations[] = {
        {"legend", "mapunit", "lkey"},          {"mapunit", "component", "mukey"},
        {"mapunit", "muaggatt", "mukey"},       {"mapunit", "mutext", "mukey"},
        {"mapunit", "mucropyld", "mukey"},      {"component", "chorizon", "cokey"},
        {"component", "comonth", "cokey"},      {"component", "cointerp", "cokey"},
        {"component", "cotext", "cokey"},       {"component", "corestrictions", "cokey"},
        {"component", "cocropyld", "cokey"},    {"comonth", "cosoilmoist", "comonthkey"},
        {"distmd", "distlegendmd", "distmdkey"}, {"mdstatdommas", "mdstatdomdet", "domainname"},
    };
    Inserter rel(m_db, "mdstatrshipdet", soilsTable("mdstatrshipdet").columnNames());
    for (const Rel& r : kRelations)
        rel.text(r.parent).text(r.child).text(std::string(r.parent) + " has " + r.child)
            .text(r.column).text(r.column).done();
    writeDomains(m_db);
    Inserter distmd(m_db, "distmd", soilsTable("distmd").columnNames());
    distmd.text(distgendate).text("Complete").integer(std::int64_t{kMaxReasons}).text(kDistMdKey).done();
}

void SoilsWriter::writeArea(const SurveyArea& a)
{
    const std::string areatype = "Non-MLRA Soil Survey Area";
    m_ins->legend.text(areatype).text(a.areasymbol).text(a.areaname).integer(std::int64_t{a.acres})
        .text("Vessland Soil Survey Office").text("Survey area legend").text(a.ssastatus)
        .text("Vessland Land Agency").integer(std::int64_t{a.projectscale}).text(a.cordate)
        .text("Current").text("Certified, all components").text(a.lkey).done();
    m_ins->distlegendmd.text(areatype).text(a.areasymbol).text(a.areaname).text(a.ssastatus)
        .text(a.cordate).text("Certified").text(kRecDate).null().text(a.lkey).text(kDistMdKey)
        .text(nextKey(m_otherkey)).done();
}

void SoilsWriter::writeMapUnit(const MapUnit& mu, const std::string& lkey)
{
    m_ins->mapunit.text(mu.musym).text(mu.muname).text(mu.mukind).null()
        .integer(std::int64_t{mu.acres}).text(mu.farmlndcl).null().null().text("Order 2").null()
        .null().text(lkey).text(mu.mukey).done();

    const MapUnitSummary s = summarize(mu);
    m_ins->muaggatt.text(mu.musym).text(mu.muname).null().real(s.slopegraddcp).real(s.slopegradwta)
        .integer(s.brockdepmin).integer(s.wtdepannmin).integer(s.wtdepaprjunmin)
        .text(s.flodfreqdcd).text(s.flodfreqmax).text(s.pondfreqprs).real(s.aws025wta)
        .real(s.aws050wta).real(s.aws0100wta).real(s.aws0150wta).text(s.drclassdcd)
        .text(s.drclasswettest).text(s.hydgrpdcd).text(s.iccdcd).integer(s.iccdcdpct)
        .text(s.niccdcd).integer(s.niccdcdpct).integer(s.hydclprs).text(mu.mukey).done();

    std::vector<std::string> dwelling;
    if (!mu.components.empty())
        for (const auto& row : interpret(mu.components.front(), kMaxReasons))
            if (row.ruledepth == 0 && row.mrulename == interpRuleNames().front())
                dwelling.push_back(row.interphrc == kNotRated ? "no rating"
                                                              : toLowerFirst(row.interphrc));
    for (const auto& t : describe(mu, dwelling))
        m_ins->mutext.text(kRecDate).text(t.kind).text(t.category).null().text(t.text)
            .text(mu.mukey).text(nextKey(m_otherkey)).done();

    // Map-unit yields: each crop's yield averaged over the components that grow it.
    std::map<std::string, std::pair<double, int>> nonirr;
    std::map<std::string, std::string> units;
    std::vector<std::string> order;
    for (const auto& c : mu.components)
        for (const auto& y : c.crops)
            if (y.nonirr && c.pct) {
                if (!nonirr.count(y.crop))
                    order.push_back(y.crop);
                auto& [sum, pct] = nonirr[y.crop];
                sum += *y.nonirr * *c.pct;
                pct += *c.pct;
                units[y.crop] = y.units;
            }
    for (const auto& crop : order) {
        const auto& [sum, pct] = nonirr[crop];
        const double v = std::floor(sum / pct * 10.0 + 0.5) / 10.0;
        m_ins->mucropyld.text(crop).text(units[crop]).null().real(v).null().null().null().null()
            .text(mu.mukey).text(nextKey(m_otherkey)).done();
    }

    for (const auto& c : mu.components)
        writeComponent(c, mu.mukey);
}

void SoilsWriter::writeComponent(const Component& c, const std::string& mukey)
{
    Inserter& ins = m_ins->component;
    ins.integer(c.pctL).integer(c.pct).integer(c.pctH).text(c.name).text(c.kind)
        .text(c.major ? "Yes" : "No").text(c.localphase);
    range(ins, c.slope).text(c.runoff).integer(c.tfact).integer(c.wei).text(c.erocl)
        .text(c.hydricrating).text(c.drainagecl);
    range(ins, c.elev).text(c.geomdesc).real(c.airtemp).integer(c.map).integer(c.ffd)
        .text(c.nirrcapcl).text(c.nirrcapscl).text(c.irrcapcl).text(c.frostact).text(c.hydgrp)
        .text(c.corcon).text(c.corsteel).text(c.taxclname).text(c.taxorder).text(c.taxpartsize)
        .text(c.taxtempregime).text(mukey).text(c.cokey).done();

    if (c.kind != "Miscellaneous area" && c.major)
        m_ins->cotext.text(kRecDate).text("Series description").text("Typical pedon").null()
            .text("The " + c.name + " series consists of " + c.drainagecl.value_or("unclassified")
                  + " soils on " + c.geomdesc + ".")
            .text(c.cokey).text(nextKey(m_otherkey)).done();

    if (c.restriction) {
        const Restriction& r = *c.restriction;
        const int thick = r.bottom - r.top;
        m_ins->corestrictions.text(r.kind).text(r.hardness).integer(plus(r.top, -10))
            .integer(std::int64_t{r.top}).integer(plus(r.top, 10)).integer(std::int64_t{r.bottom})
            .integer(std::int64_t{r.bottom}).integer(std::int64_t{r.bottom})
            .integer(plus(thick, -10)).integer(std::int64_t{thick}).integer(plus(thick, 10))
            .text(c.cokey).text(nextKey(m_otherkey)).done();
    }

    for (const auto& y : c.crops)
        m_ins->cocropyld.text(y.crop).text(y.units).null().real(y.nonirr).null().null()
            .real(y.irr).null().null().null().text(c.cokey).text(nextKey(m_otherkey)).done();

    for (const auto& row : interpret(c, kMaxReasons)) {
        m_ins->cointerp.text(c.cokey).text(row.mrulekey).text(row.mrulename)
            .integer(std::int64_t{row.seqnum}).text(row.rulekey).text(row.rulename)
            .integer(std::int64_t{row.ruledepth}).null().null().null().null().real(row.interphr)
            .text(row.interphrc).null().null().text("No").text("No").text("No")
            .text(nextKey(m_cointerpkey)).done();
    }

    for (const auto& h : c.horizons) {
        Inserter& hz = m_ins->chorizon;
        hz.text(h.hzname).text(h.desgnmaster);
        hz.integer(plus(h.top, -3)).integer(std::int64_t{h.top}).integer(h.top == 0 ? OptI(0) : plus(h.top, 3));
        hz.integer(plus(h.bottom, -3)).integer(std::int64_t{h.bottom}).integer(plus(h.bottom, 3));
        const int thick = h.bottom - h.top;
        hz.integer(plus(thick, -3)).integer(std::int64_t{thick}).integer(plus(thick, 3));
        hz.integer(h.fraggt10).integer(h.frag3to10);
        range(hz, h.sand);
        range(hz, h.silt);
        range(hz, h.clay);
        range(hz, h.om);
        range(hz, h.db);
        range(hz, h.ksat);
        range(hz, h.awc);
        hz.real(h.lep).real(h.ll).real(h.pi).text(h.kwfact).text(h.kffact).integer(h.caco3)
            .integer(h.gypsum).real(h.sar).real(h.ec).real(h.cec);
        range(hz, h.ph);
        hz.text(c.cokey).text(nextKey(m_chkey)).done();
    }

    const auto& monthNames = choices("month");
    for (const auto& m : c.months) {
        const std::string key = nextKey(m_comonthkey);
        m_ins->comonth.integer(std::int64_t{m.seq}).text(monthNames[m.seq - 1]).text(m.flodfreqcl)
            .text(m.floddurcl).text(m.pondfreqcl).text(m.ponddurcl).integer(plus(m.ponddep, -5))
            .integer(m.ponddep).integer(plus(m.ponddep, 10)).text(c.cokey).text(key).done();
        for (const auto& layer : m.moisture) {
            m_ins->cosoilmoist.integer(plus(layer.top, -15)).integer(std::int64_t{layer.top})
                .integer(layer.top == 0 ? OptI(0) : plus(layer.top, 15)).integer(std::int64_t{layer.bottom})
                .integer(std::int64_t{layer.bottom}).integer(std::int64_t{layer.bottom})
                .text(layer.status).text(key).text(nextKey(m_cosoilmoistkey)).done();
        }
    }
}

void SoilsWriter::writeSortOrder(const std::string& lkey, int lseq, const std::vector<std::string>& mukeys)
{
    int museq = 0;
    for (const auto& mukey : mukeys)
        m_ins->sortspec.text(lkey).text(mukey).integer(std::int64_t{lseq})
            .integer(std::int64_t{++museq}).done();
}

} // namespace qln::sample
