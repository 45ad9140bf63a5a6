#pragma once

#include "quillon/reporter/MessageTable.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qln::reporter {

// The message and category catalogs registered for an event source, and what kept either
// from loading (said once in the log, so that a broken installation is visible).
struct Catalogs {
    std::optional<MessageTable> messages;
    std::optional<MessageTable> categories;
    std::vector<std::string> problems;
};

// Reads the registration of the event source and loads both libraries' message tables.
Catalogs loadCatalogs(std::string_view eventSource);

} // namespace qln::reporter
