#include "DataProcessing.h"
#include "FieldValues.h"
#include "modShapeFuncs.h"
#include "rsFunctions.h"
#include "quillon/Error.h"
#include "quillon/Text.h"


namespace qln::engine {
int ProcessAbsencePresence(const RunInputs& in, ado::Recordset& comps, const std::string& mukey, Variant& rating)
{
    int line = 1;
    try {
        long found = 0;
        ado::Recordset unit = FilterField(comps, "mukey", mukey, found);
        if (found == 0) {
            rating = Variant("Unknown Hydric");
            return kRated;
        }

        line = 2;
        const std::string& column = in.valueColumn;
        long yes = 0, no = 0, other = 0, totalPct = 0;
        for (; !unit.eof(); unit.moveNext()) {
            Variant key, value;
            GetMaxValues(unit, column, key, column, value);
            const std::string answer = value.isNull() ? std::string() : lowerAscii(trimBlanks(value.text()));
            if (answer == "yes")
                ++yes;
            else if (answer == "no")
                ++no;
            else
                ++other;
            if (const Variant& percent = unit.value("comppct_r"); !percent.isNull())
                totalPct += toInteger16(percent, ValueName(unit, "component.comppct_r"));
        }

        line = 3;
        if (totalPct == 100 && other == 0 && no == 0)
            rating = Variant("All Hydric");
        else if (totalPct == 100 && other == 0 && yes == 0)
            rating = Variant("Not Hydric");
        else if (yes > 0)
            rating = Variant("Partially Hydric");
        else
            rating = Variant("Unknown Hydric");
        return kRated;
    } catch (...) {
        rethrowWithTrail("ProcessAbsencePresence", line);
    }
}

} // namespace qln::engine
