#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qln::mail {

// A contact file that exists but cannot be read; the text names the file.
class ContactError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The properties of the contact the user has open, as the mail client names them.
// MessageClass comes from X-MESSAGE-CLASS, OrganizationalIDNumber from X-ORGANIZATIONAL-ID,
// FileAs from FN, CompanyName from the first part of ORG, and the business address from
// the ADR of TYPE=work (else the first ADR): street, city (locality), state (region) and
// postal code.
struct Contact {
    std::string MessageClass;
    std::string OrganizationalIDNumber;
    std::string FileAs;
    std::string CompanyName;
    std::string BusinessAddressStreet;
    std::string BusinessAddressCity;
    std::string BusinessAddressState;
    std::string BusinessAddressPostalCode;
};

// The file that stands for the mail client's open contact: QUILLON_CONTACT_FILE, else
// contact.vcf in the user's data folder ($XDG_DATA_HOME/quillon, ~/.local/share/quillon).
std::filesystem::path activeContactPath();

// The open contact; nothing when no contact file is there. ContactError when it cannot be
// read or holds no vCard.
std::optional<Contact> activeContact();

// The first vCard (3.0 or 4.0) of the text: folded lines joined, escapes (\, \; \\ \n)
// undone, UTF-8 kept. ContactError when there is no BEGIN:VCARD.
Contact parseVCard(std::string_view text);

} // namespace qln::mail
