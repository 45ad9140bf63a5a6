#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qln::reporter {

// A message with destination gmrDISP, formatted.
struct Notice {
    std::int32_t type = 0;  // 2 fatal, 4 error, 8 warning, 16 information
    std::int32_t msgId = 0;
    std::string procedure;
    std::string text;
};

// A question or a plain box: buttons is the prompt type of SimpleMessagePrompt (0: OK only).
struct Question {
    std::int32_t buttons = 0;
    std::string title;
    std::string text;
};

// Shows what the Reporter hands to the user. Calls are serialised by the Reporter: a
// handler that passes the work to another thread must not wait for a thread that is
// itself reporting to the display.
class DisplayHandler {
public:
    virtual ~DisplayHandler() = default;
    virtual void show(const Notice& notice) = 0;
    // Returns the button chosen (1 OK, 2 Cancel, 3 Abort, 4 Retry, 6 Yes, 7 No).
    virtual std::int32_t ask(const Question& question) = 0;
};

// Installs the handler for the whole process; nullptr restores the default one, which
// writes to standard error and reads the answer from standard input when that is a
// terminal (otherwise the first button is the answer). Batch mode bypasses any handler.
void setDisplayHandler(std::shared_ptr<DisplayHandler> handler);

// The first button of a prompt type: the answer when nobody can be asked.
std::int32_t defaultAnswer(std::int32_t buttons);

} // namespace qln::reporter
