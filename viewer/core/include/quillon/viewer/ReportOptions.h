#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qln::viewer {

// The controls of the "Reports" tab that shape the rating report, as plain values.
struct ReportOptions {
    bool chkMainDescription = false;  // include the attribute's description
    bool chkInterpReason = true;      // include the components and reasons column
    bool chkAmbrelAddress = false;    // begin with the customer's address label
    std::string optHigherCaption = "Higher";
    std::string optLowerCaption = "Lower";
};

// The controls of the "Non-Tech Reports" tab.
struct NonTechOptions {
    std::vector<std::string> categories;  // the description categories picked in the list
    bool chkCustomerAddress = false;
};

// Message types of the reporter.
inline constexpr int gmrERR = 4;
inline constexpr int gmrINFO = 16;

// Where the report code speaks to the user: a message box (title "Quillon"), the
// message reporter (message 1 with a free text, shown as well as logged) and the status
// bar. Any of them may be left empty.
struct Messages {
    std::function<void(const std::string& text)> status;
    std::function<void(const std::string& text)> box;
    std::function<void(int type, const std::string& procedure, const std::string& text)> report;
    // The status text to leave once the report has ended: where the document was saved
    // when no word processor showed it.
    std::function<void(const std::string& text)> finished;
    // How far the step named (a string literal) has come, `done` of `total` (0 when unknown);
    // false once the user has cancelled.
    std::function<bool(const char* step, long done, long total)> progress;
};

} // namespace qln::viewer
