#include "ReporterDisplay.h"

#include "quillon/desktop/MessageBox.h"

namespace qln::viewer {

namespace {

desktop::Icon iconOf(std::int32_t type)
{
    switch (type) {
    case 2:
    case 4: return desktop::Icon::Critical;
    case 8: return desktop::Icon::Exclamation;
    default: return desktop::Icon::Information;
    }
}

} // namespace

void ReporterDisplay::show(const reporter::Notice& notice)
{
    desktop::messageBox({notice.text, "Quillon", desktop::Buttons::Ok, iconOf(notice.type)});
}

std::int32_t ReporterDisplay::ask(const reporter::Question& question)
{
    const auto buttons = static_cast<desktop::Buttons>(question.buttons);
    const std::string title = question.title.empty() ? "Quillon" : question.title;
    return static_cast<std::int32_t>(desktop::messageBox({question.text, title, buttons, desktop::Icon::Question}));
}

} // namespace qln::viewer
