#pragma once

// The per-user directory of our programs' top-level windows, standing in for the
// desktop's window list (title, visibility, owning process).
//   PublishedWindow w("Quillon", false);   enter a window; w.setTitle / w.setVisible /
//                                          w.raise update it; the destructor removes it
//   topLevelWindows()                      the live windows of every process of this user,
//                                          top of the stacking order first
// One small file per window in a 0700 folder ($XDG_RUNTIME_DIR/quillon-desktop/windows),
// each replaced atomically, so any number of processes may publish and read at once.
// Entries of processes that have ended (crashed, killed) are ignored and swept away.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace qln::desktop {

struct WindowInfo {
    std::string id;  // stable for the window's life, unique across processes (its handle)
    std::string title;
    bool visible = false;
    pid_t process = 0;
};

// The folder of the entries (created on first use). Throws DesktopError when unsafe.
std::filesystem::path windowDirectory();

// Windows of live processes, the most recently published or raised first. Entries that
// vanish or cannot be read while listing are skipped. Throws DesktopError only when the
// folder itself is unusable.
std::vector<WindowInfo> topLevelWindows();

// A window entered in the directory for the life of the object. Thread-safe.
class PublishedWindow {
public:
    // Throws DesktopError when the entry cannot be written (the message names the file).
    explicit PublishedWindow(std::string_view title, bool visible = false);
    // Removes the entry; never throws. A child process after fork() leaves it alone.
    ~PublishedWindow();
    PublishedWindow(const PublishedWindow&) = delete;
    PublishedWindow& operator=(const PublishedWindow&) = delete;

    const std::string& id() const;
    WindowInfo info() const;

    // Each rewrites the entry atomically; throws DesktopError when it cannot be written,
    // and then the entry keeps its previous state.
    void setTitle(std::string_view title);
    void setVisible(bool visible);
    void update(std::string_view title, bool visible);
    // Moves the window to the top of the stacking order.
    void raise();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qln::desktop
