#pragma once

#include "../support/ZipPart.h"
#include "EngineFixture.h"

#include <filesystem>

namespace qln::test {

// Two survey areas in the survey's sort order (TS001: Cd, Ab, Ef; TS002: Gh), an
// interpretation "dwell" whose Ab rating has three reasons and whose Gh rating is 40
// characters long, and non-technical texts in two categories.
class ReportFixture : public EngineFixture {
protected:
    void SetUp() override;

    // A UserData record of the interpretation over the defaults.
    ado::Recordset dwellings(const std::map<std::string, Variant>& overrides = {});
    // The report map unit list of every map unit, all ticked.
    ado::Recordset tickedList();
    // A contact file of a customer (or of the given class and identifier).
    void writeContact(const std::string& messageClass = "IPM.Contact.Ambrel Customer",
                      const std::string& identifier = "123456789012", const std::string& postal = "50010");

    std::filesystem::path templates() const;
};

// The main part (word/document.xml) of a saved document.
inline std::string documentPart(const std::filesystem::path& docx)
{
    return zipPart(docx, "word/document.xml");
}

// The rating text of Gh: 40 characters.
inline constexpr const char* kLongRating = "Somewhat limited by slope and by wetness";

} // namespace qln::test
