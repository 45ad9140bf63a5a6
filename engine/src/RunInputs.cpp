#include "RunInputs.h"

#include "FieldValues.h"
#include "modErrorCodes.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/Text.h"
#include "quillon/Tokens.h"

#include <cmath>

namespace qln::engine {
namespace {

std::vector<MultiplierFactor> readMultipliers(const std::string& text)
{
    std::vector<MultiplierFactor> factors;
    const int count = CountTokens(text, "|");
    for (int n = 1; n <= count; ++n) {
        const std::string token = getToken(text, "|", n);
        if (!token.empty() && token.front() == '*')
            factors.push_back({token.substr(1), 1.0});
        else
            factors.push_back({"", requireNumber(Variant(token), "factor " + std::to_string(n) + " of UserData.Multipliers")});
    }
    return factors;
}

} // namespace

double RoundingFactor(const Variant& roundNumbers, const std::string& what)
{
    if (roundNumbers.isNull())
        return 10.0;
    const std::int16_t places = toInteger16(roundNumbers, what);
    const double factor = std::pow(10.0, places);
    if (!std::isfinite(factor) || factor == 0.0)
        RaiseError(qlnErrNotFinite, "",
                   what + " is " + std::to_string(places) + ": 10 to that power is not a finite number to round by.");
    return factor;
}

RunInputs ReadRunInputs(const ado::Recordset& attr, const ado::Recordset& userData)
{
    int line = 1;
    try {
        RunInputs in;
        in.telvaTable = textField(attr, "TelvaTable");
        in.valueColumn = textField(attr, "AttrColText");
        in.keyColumn = textField(attr, "TieBreakColText");
        in.componentLevel = in.telvaTable != "mapunit" && in.telvaTable != "muaggatt";
        in.singleType = lowerAscii(textField(attr, "DBFType")) == "single";
        in.allNullsNoData = toFlag(attr.value("AllNullsNoData"), "Attributes.AllNullsNoData");
        in.roundFactor = RoundingFactor(attr.value("RoundNumbers"), "Attributes.RoundNumbers");
        if (const Variant& size = attr.value("DefinedSize"); !size.isNull()) {
            const double width = std::nearbyint(requireNumber(size, "Attributes.DefinedSize"));
            if (width < 0.0 || width > 2147483647.0)
                RaiseError(qlnErrOverflow, "", "The value " + size.text() + " of Attributes.DefinedSize is not a field width.");
            in.definedSize = static_cast<long>(width);
        }
        if (in.componentLevel)
            in.tieBreak = toInteger16(attr.value("TieBreak"), "Attributes.TieBreak");

        line = 2;
        if (in.componentLevel)
            in.algorithm = toInteger16(userData.value("Algorithm"), "UserData.Algorithm");
        in.outputTable = textField(userData, "OutputTable");
        in.topDepth = toInteger16(userData.value("TopDepth"), "UserData.TopDepth");
        in.botDepth = toInteger16(userData.value("BotDepth"), "UserData.BotDepth");
        in.ignPct = toInteger16(userData.value("IgnPct"), "UserData.IgnPct");
        in.rate = toInteger16(userData.value("Rate"), "UserData.Rate");
        in.nullsZero = toFlag(userData.value("SetNullsZero"), "UserData.SetNullsZero");
        line = 3;
        in.multipliers = readMultipliers(textField(userData, "Multipliers"));
        return in;
    } catch (...) {
        rethrowWithTrail("ReadRunInputs", line);
    }
}

} // namespace qln::engine
