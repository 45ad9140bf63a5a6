#include "Schema.h"

#include "SqliteWriter.h"

#include <sstream>
#include <stdexcept>

namespace qln::sample {
namespace {

// "name:TYPE name:TYPE ..." with short type codes: K key text, Vn VARCHAR(n), T memo text,
// I integer, S single, F double, B boolean, D date and time.
std::vector<ColumnDef> parse(const std::string& columns)
{
    std::vector<ColumnDef> out;
    std::istringstream in(columns);
    std::string word;
    while (in >> word) {
        const auto colon = word.find(':');
        const std::string name = word.substr(0, colon);
        const std::string code = word.substr(colon + 1);
        std::string type;
        switch (code[0]) {
        case 'K': type = "TEXT"; break;
        case 'T': type = "TEXT"; break;
        case 'V': type = "VARCHAR(" + code.substr(1) + ")"; break;
        case 'I': type = "INTEGER"; break;
        case 'S': type = "SINGLE"; break;
        case 'F': type = "DOUBLE"; break;
        case 'B': type = "BOOLEAN"; break;
        case 'D': type = "DATETIME"; break;
        default: throw std::logic_error("bad column code " + word);
        }
        out.push_back({name, type});
    }
    return out;
}

// Three columns name_l, name_r, name_h of one code.
std::string lrh(const std::string& name, const std::string& code)
{
    return name + "_l:" + code + " " + name + "_r:" + code + " " + name + "_h:" + code + " ";
}

std::vector<TableDef> buildTables()
{
    std::vector<TableDef> t;
    t.push_back({"legend",
                 parse("areatypename:V45 areasymbol:V20 areaname:V135 areaacres:I mlraoffice:V254 "
                       "legenddesc:V60 ssastatus:V254 mouagncyresp:V254 projectscale:I "
                       "cordate:D legendsuituse:V254 legendcertstat:V254 lkey:K"),
                 {"lkey", "areasymbol"}});
    t.push_back({"distmd", parse("distgendate:D diststatus:V254 interpmaxreasons:I distmdkey:K"),
                 {"distmdkey"}});
    t.push_back({"distlegendmd",
                 parse("areatypename:V45 areasymbol:V20 areaname:V135 ssastatus:V254 cordate:D "
                       "exportcertstatus:V254 exportcertdate:D exportmetadata:T lkey:K "
                       "distmdkey:K distlegendmdkey:K"),
                 {"lkey", "distmdkey"}});
    t.push_back({"mapunit",
                 parse("musym:V6 muname:V240 mukind:V254 mustatus:V254 muacres:I farmlndcl:V254 "
                       "muhelcl:V254 interpfocus:V30 invesintens:V254 iacornsr:I "
                       "mucertstat:V254 lkey:K mukey:K"),
                 {"mukey", "lkey"}});
    t.push_back({"muaggatt",
                 parse("musym:V6 muname:V240 mustatus:V254 slopegraddcp:S slopegradwta:S "
                       "brockdepmin:I wtdepannmin:I wtdepaprjunmin:I flodfreqdcd:V254 "
                       "flodfreqmax:V254 pondfreqprs:V254 aws025wta:S aws050wta:S aws0100wta:S "
                       "aws0150wta:S drclassdcd:V254 drclasswettest:V254 hydgrpdcd:V254 "
                       "iccdcd:V254 iccdcdpct:I niccdcd:V254 niccdcdpct:I hydclprs:I mukey:K"),
                 {"mukey"}});
    t.push_back({"mutext",
                 parse("recdate:D mapunittextkind:V254 textcat:V20 textsubcat:V20 text:T mukey:K "
                       "mutextkey:K"),
                 {"mukey"}});
    t.push_back({"mucropyld",
                 parse("cropname:V254 yldunits:V254 " + lrh("nonirryield", "S") + lrh("irryield", "S")
                       + "mukey:K mucrpyldkey:K"),
                 {"mukey"}});
    t.push_back({"component",
                 parse(lrh("comppct", "I")
                       + "compname:V60 compkind:V254 majcompflag:V3 localphase:V40 "
                       + lrh("slope", "S")
                       + "runoff:V254 tfact:I wei:I erocl:V254 hydricrating:V254 "
                         "drainagecl:V254 elev_l:S elev_r:S elev_h:S geomdesc:T airtempa_r:S "
                         "map_r:I ffd_r:I nirrcapcl:V254 nirrcapscl:V254 irrcapcl:V254 "
                         "frostact:V254 hydgrp:V254 corcon:V254 corsteel:V254 taxclname:V120 "
                         "taxorder:V254 taxpartsize:V254 taxtempregime:V254 mukey:K cokey:K"),
                 {"cokey", "mukey"}});
    t.push_back({"cotext",
                 parse("recdate:D comptextkind:V254 textcat:V20 textsubcat:V20 text:T cokey:K "
                       "cotextkey:K"),
                 {"cokey"}});
    t.push_back({"corestrictions",
                 parse("reskind:V254 reshard:V254 " + lrh("resdept", "I") + lrh("resdepb", "I")
                       + lrh("resthk", "I") + "cokey:K corestrictkey:K"),
                 {"cokey"}});
    t.push_back({"cocropyld",
                 parse("cropname:V254 yldunits:V254 " + lrh("nonirryield", "S") + lrh("irryield", "S")
                       + "cropprodindex:I vasoiprdgrp:V254 cokey:K cocropyldkey:K"),
                 {"cokey", "cropname"}});
    t.push_back({"cointerp",
                 parse("cokey:K mrulekey:K mrulename:V60 seqnum:I rulekey:K rulename:V60 "
                       "ruledepth:I interpll:S interpllc:V254 interplr:S interplrc:V254 "
                       "interphr:S interphrc:V254 interphh:S interphhc:V254 "
                       "nullpropdatabool:V3 defpropdatabool:V3 incpropdatabool:V3 cointerpkey:K"),
                 {"cokey", "mrulename"}});
    t.push_back({"chorizon",
                 parse("hzname:V12 desgnmaster:V254 " + lrh("hzdept", "I") + lrh("hzdepb", "I")
                       + lrh("hzthk", "I") + "fraggt10_r:I frag3to10_r:I "
                       + lrh("sandtotal", "S") + lrh("silttotal", "S") + lrh("claytotal", "S")
                       + lrh("om", "S") + lrh("dbthirdbar", "S") + lrh("ksat", "F")
                       + lrh("awc", "S")
                       + "lep_r:S ll_r:S pi_r:S kwfact:V254 kffact:V254 caco3_r:I gypsum_r:I "
                         "sar_r:S ec_r:S cec7_r:S "
                       + lrh("ph1to1h2o", "S") + "cokey:K chkey:K"),
                 {"chkey", "cokey"}});
    t.push_back({"comonth",
                 parse("monthseq:I month:V254 flodfreqcl:V254 floddurcl:V254 pondfreqcl:V254 "
                       "ponddurcl:V254 "
                       + lrh("ponddep", "I") + "cokey:K comonthkey:K"),
                 {"comonthkey", "cokey"}});
    t.push_back({"cosoilmoist",
                 parse(lrh("soimoistdept", "I") + lrh("soimoistdepb", "I")
                       + "soimoiststat:V254 comonthkey:K cosoilmoistkey:K"),
                 {"comonthkey"}});
    t.push_back({"mdstatrshipdet",
                 parse("ltabphyname:V30 rtabphyname:V30 relationshipname:V30 ltabcolphyname:V30 "
                       "rtabcolphyname:V30"),
                 {}});
    t.push_back({"mdstatdommas", parse("domainname:V40 domainmaxlen:I"), {"domainname"}});
    t.push_back({"mdstatdomdet",
                 parse("domainname:V40 choicesequence:I choice:V254 choicedesc:T choiceobsolete:V3"),
                 {"domainname"}});
    t.push_back({"SYSTEM - Mapunit Sort Specifications", parse("lkey:K mukey:K lseq:I museq:I"),
                 {"mukey", "lkey"}});
    return t;
}

} // namespace

std::vector<std::string> TableDef::columnNames() const
{
    std::vector<std::string> names;
    for (const auto& c : columns)
        names.push_back(c.name);
    return names;
}

const std::vector<TableDef>& soilsTables()
{
    static const std::vector<TableDef> tables = buildTables();
    return tables;
}

const TableDef& soilsTable(const std::string& name)
{
    for (const auto& t : soilsTables())
        if (t.name == name)
            return t;
    throw std::logic_error("no table " + name);
}

void createTables(Database& db)
{
    for (const auto& t : soilsTables()) {
        std::string sql = "CREATE TABLE \"" + t.name + "\" (";
        for (std::size_t i = 0; i < t.columns.size(); ++i)
            sql += (i ? ", \"" : "\"") + t.columns[i].name + "\" " + t.columns[i].type;
        db.exec(sql + ")");
    }
}

void createIndexes(Database& db)
{
    int n = 0;
    for (const auto& t : soilsTables())
        for (const auto& c : t.indexed)
            db.exec("CREATE INDEX \"ix" + std::to_string(++n) + "_" + c + "\" ON \"" + t.name
                    + "\" (\"" + c + "\")");
}

} // namespace qln::sample
