#include "quillon/desktop/MessageBox.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace qln::desktop {

namespace {

class StandardErrorMessageBoxes final : public MessageBoxHandler {
public:
    Button show(const MessageBoxRequest& request) override
    {
        const Button answer = defaultButton(request);
        std::string choices;
        for (const Button button : buttonsOf(request.buttons))
            choices += (choices.empty() ? "" : "/") + std::string(buttonName(button));
        std::fprintf(stderr, "%s: %s [%s] -> %s\n", request.title.c_str(), request.text.c_str(), choices.c_str(),
                     buttonName(answer));
        return answer;
    }
};

struct Service {
    std::mutex mutex;
    std::shared_ptr<MessageBoxHandler> handler = standardErrorMessageBoxes();
    MessageBoxSeam* seam = nullptr;
};

Service& service()
{
    static Service instance;
    return instance;
}

} // namespace

std::vector<Button> buttonsOf(Buttons buttons)
{
    switch (buttons) {
    case Buttons::OkCancel: return {Button::Ok, Button::Cancel};
    case Buttons::AbortRetryIgnore: return {Button::Abort, Button::Retry, Button::Ignore};
    case Buttons::YesNoCancel: return {Button::Yes, Button::No, Button::Cancel};
    case Buttons::YesNo: return {Button::Yes, Button::No};
    case Buttons::RetryCancel: return {Button::Retry, Button::Cancel};
    case Buttons::Ok: break;
    }
    return {Button::Ok};
}

Button defaultButton(const MessageBoxRequest& request)
{
    const auto buttons = buttonsOf(request.buttons);
    if (request.defaultIndex < 0 || static_cast<std::size_t>(request.defaultIndex) >= buttons.size())
        return buttons.front();
    return buttons[static_cast<std::size_t>(request.defaultIndex)];
}

const char* buttonName(Button button)
{
    switch (button) {
    case Button::Ok: return "OK";
    case Button::Cancel: return "Cancel";
    case Button::Abort: return "Abort";
    case Button::Retry: return "Retry";
    case Button::Ignore: return "Ignore";
    case Button::Yes: return "Yes";
    case Button::No: return "No";
    }
    return "?";
}

std::shared_ptr<MessageBoxHandler> standardErrorMessageBoxes()
{
    static const auto handler = std::make_shared<StandardErrorMessageBoxes>();
    return handler;
}

void setMessageBoxHandler(std::shared_ptr<MessageBoxHandler> handler)
{
    auto& state = service();
    const std::lock_guard lock(state.mutex);
    state.handler = handler ? std::move(handler) : standardErrorMessageBoxes();
}

Button messageBox(const MessageBoxRequest& request)
{
    auto& state = service();
    std::shared_ptr<MessageBoxHandler> handler;
    {
        const std::lock_guard lock(state.mutex);
        if (state.seam) return state.seam->take(request);
        handler = state.handler;
    }
    // Shown without the lock: a box waits for the user, and other threads may ask too.
    const Button answer = handler->show(request);
    const auto allowed = buttonsOf(request.buttons);
    return std::find(allowed.begin(), allowed.end(), answer) != allowed.end() ? answer : defaultButton(request);
}

MessageBoxSeam::MessageBoxSeam()
{
    auto& state = service();
    const std::lock_guard lock(state.mutex);
    if (state.seam) throw std::logic_error("a message-box seam is already installed");
    state.seam = this;
}

MessageBoxSeam::~MessageBoxSeam()
{
    auto& state = service();
    const std::lock_guard lock(state.mutex);
    state.seam = nullptr;
}

void MessageBoxSeam::answer(Button button)
{
    const std::lock_guard lock(m_mutex);
    m_answers.push_back(button);
}

std::vector<MessageBoxRequest> MessageBoxSeam::shown() const
{
    const std::lock_guard lock(m_mutex);
    return m_shown;
}

std::size_t MessageBoxSeam::pendingAnswers() const
{
    const std::lock_guard lock(m_mutex);
    return m_answers.size();
}

Button MessageBoxSeam::take(const MessageBoxRequest& request)
{
    const std::lock_guard lock(m_mutex);
    m_shown.push_back(request);
    if (m_answers.empty()) return defaultButton(request);
    const Button answer = m_answers.front();
    m_answers.pop_front();
    const auto allowed = buttonsOf(request.buttons);
    return std::find(allowed.begin(), allowed.end(), answer) != allowed.end() ? answer : defaultButton(request);
}

} // namespace qln::desktop
