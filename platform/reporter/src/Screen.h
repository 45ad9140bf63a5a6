#pragma once

#include "quillon/reporter/Display.h"

namespace qln::reporter {

// Hand a notice or a question to the installed display handler, one call at a time.
void showNotice(const Notice& notice);
std::int32_t askQuestion(const Question& question);

} // namespace qln::reporter
