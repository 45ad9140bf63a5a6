#pragma once

#include "quillon/viewer/ReportOptions.h"
#include "quillon/word/Document.h"

#include <string>

namespace qln::viewer {

// The postal address of the customer contact open in the mail client when the viewer
// started; captured false leaves the address check boxes disabled.
struct CustomerAddress {
    std::string fileAs;
    std::string companyName;
    std::string street;
    std::string city;
    std::string state;
    std::string postalCode;
    bool captured = false;
};

// Captures the open contact when it is a customer contact (message class
// "IPM.Contact.Ambrel Customer", a 12-character identifier). A contact that cannot be read
// is reported and leaves nothing captured. Always true.
bool CheckOutlookCustomer(CustomerAddress& address, const Messages& messages);

// Types the address label at the selection (size 11, not bold): name, street when there
// is one, "city, state postal" and a blank line. Without city, state, postal code and a
// name it types nothing and tells the user so.
void PopulateCustomerLabel(word::TextRange& selection, const CustomerAddress& address, const Messages& messages);

} // namespace qln::viewer
