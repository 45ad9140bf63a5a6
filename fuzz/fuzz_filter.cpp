// Filter, find and sort texts against a small record set with every kind of value.

#include "quillon/Error.h"
#include "quillon/ado/Recordset.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

qln::ado::Recordset makeRows()
{
    using namespace qln::ado;
    Recordset rows;
    rows.appendField("mukey", adVarChar, 30);
    rows.appendField("comppct_r", adInteger, 4);
    rows.appendField("Selected", adBoolean, 2);
    rows.appendField("Map Unit", adVarChar, 10);
    rows.appendField("rating", adDouble, 8);
    rows.appendField("cordate", adDate, 8);
    rows.open();
    const qln::Variant values[][6] = {
        {qln::Variant("10"), qln::Variant(85), qln::Variant(true), qln::Variant("AbC"), qln::Variant(2.5),
         qln::Variant(qln::Date{36526.0})},
        {qln::Variant("x'y"), qln::Variant::null(), qln::Variant(false), qln::Variant(""), qln::Variant(-1e300),
         qln::Variant::null()},
        {qln::Variant::null(), qln::Variant(-32768), qln::Variant::null(), qln::Variant("10"), qln::Variant::null(),
         qln::Variant(qln::Date{-1.5})},
    };
    for (const auto& row : values) {
        rows.addNew();
        for (int f = 0; f < 6; ++f)
            rows.setValue(f, row[f]);
        rows.update();
    }
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const qln::ado::Recordset rows = makeRows();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qln::ado::Recordset view = rows.clone();
    try {
        view.setFilter(text);
        for (; !view.eof(); view.moveNext())
            (void)view.value(0);
    } catch (const qln::EngineError&) {
    }
    view = rows.clone();
    try {
        (void)view.find(text);
    } catch (const qln::EngineError&) {
    }
    try {
        view.setSort(text);
    } catch (const qln::EngineError&) {
    }
    return 0;
}
