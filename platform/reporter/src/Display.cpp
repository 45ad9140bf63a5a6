#include "Log.h"
#include "Screen.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace qln::reporter {

namespace {

struct Button {
    std::int32_t answer;
    const char* name;
};

std::vector<Button> buttonsOf(std::int32_t promptType)
{
    switch (promptType) {
    case 1: return {{1, "OK"}, {2, "Cancel"}};
    case 2: return {{3, "Abort"}, {4, "Retry"}, {2, "Cancel"}};
    case 3: return {{6, "Yes"}, {7, "No"}, {2, "Cancel"}};
    case 4: return {{6, "Yes"}, {7, "No"}};
    case 5: return {{4, "Retry"}, {2, "Cancel"}};
    default: return {{1, "OK"}};
    }
}

// Standard error for notices; questions read a terminal, or take the first button.
class StandardErrorDisplay final : public DisplayHandler {
public:
    void show(const Notice& notice) override
    {
        std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, typeName(notice.type).c_str(),
                     notice.text.c_str());
    }

    std::int32_t ask(const Question& question) override
    {
        const auto buttons = buttonsOf(question.buttons);
        std::string choices;
        for (const Button& button : buttons) choices += (choices.empty() ? "" : "/") + std::string(button.name);
        std::fprintf(stderr, "%s: %s\n[%s] ", question.title.c_str(), question.text.c_str(), choices.c_str());
        if (!isatty(STDIN_FILENO)) {
            std::fprintf(stderr, "%s (no terminal to ask)\n", buttons.front().name);
            return buttons.front().answer;
        }
        std::string reply;
        while (std::getline(std::cin, reply)) {
            if (reply.empty()) return buttons.front().answer;
            const int first = std::tolower(static_cast<unsigned char>(reply.front()));
            for (const Button& button : buttons)
                if (std::tolower(static_cast<unsigned char>(button.name[0])) == first) return button.answer;
            std::fprintf(stderr, "[%s] ", choices.c_str());
        }
        return buttons.front().answer;
    }
};

// Recursive, so that a handler may itself report to the display.
std::recursive_mutex& displayMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

std::shared_ptr<DisplayHandler>& installed()
{
    static std::shared_ptr<DisplayHandler> handler = std::make_shared<StandardErrorDisplay>();
    return handler;
}

} // namespace

void setDisplayHandler(std::shared_ptr<DisplayHandler> handler)
{
    const std::lock_guard lock(displayMutex());
    installed() = handler ? std::move(handler) : std::make_shared<StandardErrorDisplay>();
}

std::int32_t defaultAnswer(std::int32_t buttons)
{
    return buttonsOf(buttons).front().answer;
}

void showNotice(const Notice& notice)
{
    const std::lock_guard lock(displayMutex());
    installed()->show(notice);
}

std::int32_t askQuestion(const Question& question)
{
    const std::lock_guard lock(displayMutex());
    return installed()->ask(question);
}

} // namespace qln::reporter
