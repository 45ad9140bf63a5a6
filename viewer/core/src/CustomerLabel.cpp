#include "quillon/viewer/CustomerLabel.h"

#include "quillon/Text.h"
#include "quillon/mail/Contact.h"

namespace qln::viewer {
namespace {

constexpr const char* kCustomerClass = "IPM.Contact.Ambrel Customer";
constexpr std::size_t kCustomerIdLength = 12;

// Characters, not bytes, of a UTF-8 text.
std::size_t characterCount(const std::string& text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

} // namespace

bool CheckOutlookCustomer(CustomerAddress& address, const Messages& messages)
{
    address = CustomerAddress();
    try {
        const auto contact = mail::activeContact();
        if (!contact || contact->MessageClass != kCustomerClass ||
            characterCount(contact->OrganizationalIDNumber) != kCustomerIdLength)
            return true;
        address.fileAs = contact->FileAs;
        address.companyName = contact->CompanyName;
        address.street = contact->BusinessAddressStreet;
        address.city = contact->BusinessAddressCity;
        address.state = contact->BusinessAddressState;
        address.postalCode = contact->BusinessAddressPostalCode;
        address.captured = true;
    } catch (const std::exception& error) {
        if (messages.report)
            messages.report(gmrERR, "CheckOutlookCustomer", error.what());
    }
    return true;
}

void PopulateCustomerLabel(word::TextRange& selection, const CustomerAddress& address, const Messages& messages)
{
    const std::string fileAs = trimBlanks(address.fileAs);
    const std::string company = trimBlanks(address.companyName);
    const std::string street = trimBlanks(address.street);
    const std::string city = trimBlanks(address.city);
    const std::string state = trimBlanks(address.state);
    const std::string postal = trimBlanks(address.postalCode);
    if (city.empty() || state.empty() || postal.empty() || (company.empty() && fileAs.empty())) {
        if (messages.report)
            messages.report(gmrINFO, "PopulateCustomerLabel",
                            "Not enough address information provided in Contact or no Contact active.");
        return;
    }
    selection.font().size = 11;
    selection.font().bold = false;
    selection.typeText((company.empty() ? fileAs : company) + "\r\n");
    if (!street.empty())
        selection.typeText(street + "\r\n");
    selection.typeText(city + ", ");
    selection.typeText(state + " ");
    selection.typeText(postal + "\r\n\r\n");
}

} // namespace qln::viewer
