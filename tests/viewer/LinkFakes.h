#pragma once

// Stand-ins for what the GIS link talks to: the main window, the reporter and the utilities.

#include "../support/ComponentFakes.h"
#include "quillon/viewer/link/LinkWindow.h"

#include <string>

namespace qln::test {

struct FakeWindow : viewer::link::LinkWindow {
    std::string status;
    bool bold = false;
    std::string caption = "Quillon";
    bool enabled = true;
    bool ready = true;
    bool controlsEnabled = true;
    int focused = 0;
    int unloaded = 0;

    void setStatusText(const std::string& text) override { status = text; }
    void setStatusBold(bool b) override { bold = b; }
    void setCaption(const std::string& c) override { caption = c; }
    void setWindowEnabled(bool e) override { enabled = e; }
    bool MainFormReady() const override { return ready; }
    void EnableControls() override { controlsEnabled = true; }
    void DisableControls() override { controlsEnabled = false; }
    void restoreAndFocus() override { ++focused; }
    void unload() override { ++unloaded; }
};

} // namespace qln::test
