#include "modCustomer.h"

#include "NonTechReportsTab.h"
#include "ReportJob.h"
#include "ReportsTab.h"
#include "frmQuillon.h"
#include "quillon/viewer/CustomerLabel.h"
#include "ui_NonTechReportsTab.h"
#include "ui_ReportsTab.h"

namespace qln::viewer {

bool CheckOutlookCustomer(ViewerState& st, frmQuillon& form)
{
    auto address = std::make_shared<CustomerAddress>();
    viewer::CheckOutlookCustomer(*address, windowMessages(st, form));
    if (!address->captured) {
        form.reportsTab().ui().chkAmbrelAddress->setEnabled(false);
        form.nonTechReportsTab().ui().chkCustomerAddress->setEnabled(false);
        st.customer.reset();
        return true;
    }
    st.customer = std::move(address);
    return true;
}

} // namespace qln::viewer
