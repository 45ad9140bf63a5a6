#pragma once

// A stand-in GIS for window tests: it serves "ArcView|System" and talks to the viewer's
// "Quillon|messageToVB" as the real one does.

#include "quillon/dde/Dde.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qln::viewer {

// A GIS serving its scripts on a thread of its own; keeps the commands it was sent.
class ServedGis {
public:
    ServedGis()
        : m_server("ArcView", "System",
                   [this](const std::string& command) {
                       std::lock_guard lock(m_mutex);
                       m_commands.push_back(command);
                       return dde::Reply::ack();
                   })
        , m_thread([this] {
            while (!m_stop) m_server.serveFor(std::chrono::milliseconds(20));
        })
    {
    }
    ~ServedGis()
    {
        m_stop = true;
        m_thread.join();
    }
    std::vector<std::string> commands() const
    {
        std::lock_guard lock(m_mutex);
        return m_commands;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::atomic<bool> m_stop{false};
    dde::Server m_server;
    std::thread m_thread;
};

// Sends a command as the GIS does, keeping this thread's events (the viewer's server) going.
inline dde::Reply sendToViewer(const std::string& command)
{
    auto reply = std::async(std::launch::async, [command] {
        dde::Conversation viewer("Quillon", "messageToVB");
        return viewer.execute(command);
    });
    while (reply.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return reply.get();
}

} // namespace qln::viewer
