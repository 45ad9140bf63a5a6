#include "modMapunitList.h"

#include "MapunitGrid.h"
#include "NonTechReportsTab.h"
#include "ReportJob.h"
#include "ReportsTab.h"
#include "frmQuillon.h"
#include "quillon/viewer/MapunitList.h"
#include "ui_NonTechReportsTab.h"
#include "ui_ReportsTab.h"

namespace qln::viewer {

int PopulateMapunitList(ViewerState& st, frmQuillon& form, ado::Recordset& mapunits)
{
    ado::Recordset list;
    const short status = viewer::PopulateMapunitList(*st.engine, st.soilsConnectString, mapunits, list,
                                                     windowMessages(st, form));
    ShowMapunitList(st, form, status == 1 ? list : ado::Recordset());
    return status;
}

void ShowMapunitList(ViewerState& st, frmQuillon& form, const ado::Recordset& list)
{
    // The previous database's list must not stay on screen, ticks and all.
    st.mapunitList = list;
    // The non-technical report's categories and map units are those of the new database.
    st.nonTechRSs.reset();
    st.NonTechSetsLoaded = false;
    form.nonTechReportsTab().setCategories({});
    form.reportsTab().ui().cmdRepShowMU->setChecked(false);
    form.nonTechReportsTab().ui().cmdRepNTShowMU->setChecked(false);
    for (MapunitGrid* grid : {&form.reportsTab().grid(), &form.nonTechReportsTab().grid()})
        grid->bind(st.mapunitList, st.mapunitColumnWidths);
}

} // namespace qln::viewer
