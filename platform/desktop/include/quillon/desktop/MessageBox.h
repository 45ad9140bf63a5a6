#pragma once

// The message-box service every library calls where a box is shown to the user.
//   messageBox({"Quillon is already running.", "Quillon", Buttons::Ok, Icon::Critical})
//       -> the button chosen
//   setMessageBoxHandler(h)   who shows boxes: GUI programs install the Qt handler of
//                             quillon_desktop_qt; the default writes the box to standard
//                             error and answers its default button
//   MessageBoxSeam seam;      for tests: while it lives no box is shown; answers come from
//   seam.answer(Button::No);  its queue (then the default button) and every box is recorded
// Safe to call from any thread.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qln::desktop {

// The button sets, numbered as programs pass them (0 OK only ... 5 Retry/Cancel).
enum class Buttons : std::int32_t {
    Ok = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
};

enum class Icon : std::int32_t { None = 0, Critical = 16, Question = 32, Exclamation = 48, Information = 64 };

// The answers, numbered as programs test them (1 OK ... 7 No).
enum class Button : std::int32_t { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageBoxRequest {
    std::string text;
    std::string title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int defaultIndex = 0;  // which of the set's buttons is the default (0 the first)
};

// The buttons of a set, in the order they are shown.
std::vector<Button> buttonsOf(Buttons buttons);
// The request's default button; the first when defaultIndex is out of range.
Button defaultButton(const MessageBoxRequest& request);
// "OK", "Cancel", "Yes", ...
const char* buttonName(Button button);

class MessageBoxHandler {
public:
    virtual ~MessageBoxHandler() = default;
    // Shows the box and returns one of the request's buttons.
    virtual Button show(const MessageBoxRequest& request) = 0;
};

// Shows a box through the seam, else the installed handler. An answer that is not one of
// the request's buttons becomes the default button, so callers may rely on the set.
Button messageBox(const MessageBoxRequest& request);

// Installs the handler for the whole process; nullptr restores the standard-error one.
void setMessageBoxHandler(std::shared_ptr<MessageBoxHandler> handler);

// The standard-error handler, for programs that wrap it.
std::shared_ptr<MessageBoxHandler> standardErrorMessageBoxes();

// Takes over every box of the process while it lives (one seam at a time).
class MessageBoxSeam {
public:
    MessageBoxSeam();
    ~MessageBoxSeam();
    MessageBoxSeam(const MessageBoxSeam&) = delete;
    MessageBoxSeam& operator=(const MessageBoxSeam&) = delete;

    // Queues the answer of a later box (first queued, first used).
    void answer(Button button);
    // The boxes asked for so far, oldest first.
    std::vector<MessageBoxRequest> shown() const;
    // Answers still queued.
    std::size_t pendingAnswers() const;

private:
    friend Button messageBox(const MessageBoxRequest& request);
    Button take(const MessageBoxRequest& request);

    mutable std::mutex m_mutex;
    std::deque<Button> m_answers;
    std::vector<MessageBoxRequest> m_shown;
};

} // namespace qln::desktop
