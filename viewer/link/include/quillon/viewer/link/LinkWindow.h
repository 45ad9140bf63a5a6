#pragma once

// What the GIS link asks of the viewer's main window; the window implements it, tests fake it.

#include <string>

namespace qln::viewer::link {

class LinkWindow {
public:
    virtual ~LinkWindow() = default;

    virtual void setStatusText(const std::string& text) = 0;
    virtual void setStatusBold(bool bold) = 0;
    virtual void setCaption(const std::string& caption) = 0;
    // The whole window, as the handshake enables and disables it.
    virtual void setWindowEnabled(bool enabled) = 0;

    // False until the window has been shown and filled.
    virtual bool MainFormReady() const = 0;
    // The process button, the attribute tree and the reset button.
    virtual void EnableControls() = 0;
    virtual void DisableControls() = 0;
    // Back to its normal state from minimised, on top, with the focus.
    virtual void restoreAndFocus() = 0;
    // Unloads the main window; the program ends with it.
    virtual void unload() = 0;
};

} // namespace qln::viewer::link
