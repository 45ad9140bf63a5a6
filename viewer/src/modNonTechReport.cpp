#include "modNonTechReport.h"

#include "ErrorReport.h"
#include "MapunitGrid.h"
#include "NonTechReportsTab.h"
#include "ReportJob.h"
#include "frmQuillon.h"
#include "quillon/viewer/NonTechReport.h"
#include "quillon/viewer/modGenericFunctions.h"
#include "ui_NonTechReportsTab.h"

#include <QApplication>

#include <filesystem>

namespace qln::viewer {

int SetNonTechRSs(ViewerState& st, frmQuillon& form)
{
    try {
        auto rss = std::make_shared<NonTechRSs>(viewer::SetNonTechRSs(*st.engine, st.soilsConnectString));
        form.nonTechReportsTab().setCategories(PopulateCategories(*rss));
        st.nonTechRSs = std::move(rss);
        return 1;
    } catch (...) {
        ReportCaughtError(st, "SetNonTechRSs", "The description categories cannot be read from the soils database.");
        return -1;
    }
}

void cmdNonTechReport_Click(ViewerState& st, frmQuillon& form)
{
    try {
        PopulateNonTechReport(st, form);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        ReportCaughtError(st, "cmdNonTechReport_Click", "The non-technical report was not made.");
    }
}

void PopulateNonTechReport(ViewerState& st, frmQuillon& form)
{
    auto& tab = form.nonTechReportsTab();
    NonTechInputs inputs;
    inputs.options.categories = tab.selectedCategories();
    inputs.options.chkCustomerAddress = tab.ui().chkCustomerAddress->isEnabled() && tab.ui().chkCustomerAddress->isChecked();
    if (st.customer) inputs.customer = *st.customer;
    inputs.templatePath = std::filesystem::path(st.settings[Setting::InstalledDrive] + st.settings[Setting::SoilsPath]) /
                          "Templates" / "QLNNonTech.dotx";
    // The grid's own view: its ticks, filter and sort.
    const ado::Recordset list = tab.grid().model().rows().isOpen() ? tab.grid().model().rows().clone(true)
                                                                   : ado::Recordset();
    std::shared_ptr<const NonTechRSs> rss = st.nonTechRSs;
    if (!rss && SetNonTechRSs(st, form) == 1) {
        st.NonTechSetsLoaded = true;
        rss = st.nonTechRSs;
    }
    if (!rss) return;
    const std::string connect = st.soilsConnectString;

    runReportJob(st, form, "cmdNonTechReport_Click", "Non-technical report:",
                 [connect, rss, list, inputs](engine::clsQuillon& engine, const Messages& jobMessages) mutable {
                     inputs.messages = jobMessages;
                     try {
                         viewer::PopulateNonTechReport(engine, connect, *rss, list, inputs, {});
                     } catch (...) {
                         ReportDocumentFailure(inputs.messages, "PopulateNonTechReport");
                     }
                 });
}

} // namespace qln::viewer
