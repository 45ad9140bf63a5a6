#include "modStandAlone.h"

namespace qln::viewer {

int CheckOutlookCustomer(ViewerState&)
{
    return 1;
}

int SetNonTechRSs(ViewerState&)
{
    return -1;
}

} // namespace qln::viewer
