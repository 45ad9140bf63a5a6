#pragma once

#include "quillon/reporter/Display.h"

namespace qln::viewer {

// Shows the reporter's messages and prompts as message boxes of the desktop service, whose
// Qt handler puts them on the GUI thread whatever thread reports.
class ReporterDisplay final : public reporter::DisplayHandler {
public:
    void show(const reporter::Notice& notice) override;
    std::int32_t ask(const reporter::Question& question) override;
};

} // namespace qln::viewer
