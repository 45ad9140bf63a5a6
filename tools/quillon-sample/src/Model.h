#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qln::sample {

using OptD = std::optional<double>;
using OptI = std::optional<int>;
using OptS = std::optional<std::string>;

// A low, representative and high value of one property.
struct Range {
    OptD l, r, h;
};

struct Horizon {
    std::string hzname;
    std::string desgnmaster;
    int top = 0;
    int bottom = 0;
    OptI fraggt10, frag3to10;
    Range sand, silt, clay, om, db, ksat, awc, ph;
    OptD lep, ll, pi, sar, ec, cec;
    OptI caco3, gypsum;
    OptS kwfact, kffact;
};

struct SoilMoistLayer {
    int top = 0;
    int bottom = 0;
    std::string status;
};

struct Month {
    int seq = 1;          // 1 = January
    OptS flodfreqcl, floddurcl, pondfreqcl, ponddurcl;
    OptI ponddep;
    std::vector<SoilMoistLayer> moisture;
    // Top of the wet (saturated) zone in cm, absent when none lies within 200 cm.
    OptI wetTop;
};

struct Restriction {
    std::string kind;
    std::string hardness;
    int top = 0;
    int bottom = 0;
};

struct CropYield {
    std::string crop;
    std::string units;
    OptD nonirr;
    OptD irr;
};

struct Component {
    std::string cokey;
    OptI pctL, pct, pctH;
    std::string name;
    std::string kind;
    bool major = false;
    OptS localphase;
    Range slope;
    OptS runoff;
    OptI tfact, wei;
    OptS erocl, hydricrating, drainagecl;
    Range elev;
    std::string geomdesc;
    OptD airtemp;
    OptI map, ffd;
    OptS nirrcapcl, nirrcapscl, irrcapcl, frostact, hydgrp, corcon, corsteel;
    OptS taxclname, taxorder, taxpartsize, taxtempregime;
    std::vector<Horizon> horizons;
    std::vector<Month> months;
    std::optional<Restriction> restriction;
    std::vector<CropYield> crops;
};

struct MapUnit {
    std::string mukey;
    std::string musym;
    std::string muname;
    std::string mukind;
    int acres = 0;
    OptS farmlndcl;
    std::vector<Component> components;
};

struct SurveyArea {
    std::string lkey;
    std::string areasymbol;
    std::string areaname;
    std::string cordate;
    std::string ssastatus;
    int projectscale = 24000;
    int acres = 0;
};

} // namespace qln::sample
