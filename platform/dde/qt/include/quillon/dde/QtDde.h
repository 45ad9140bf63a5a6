#pragma once

#include "quillon/dde/Dde.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QSocketNotifier;

namespace qln::dde {

// A Server driven by the Qt event loop: the handler runs on the thread that owns this object
// (the GUI thread), woken by socket notifiers, so no command waits on a blocked window.
class QtServer : public QObject {
    Q_OBJECT
public:
    // Throws DdeError as Server does.
    QtServer(std::string_view service, std::string_view topic, Server::Handler handler, QObject* parent = nullptr);
    ~QtServer() override;

    Server& server() { return *m_server; }

private:
    void activity();
    void watch();

    std::unique_ptr<Server> m_server;
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers;
};

// A Conversation whose executes run in order on a thread of its own, so the caller never
// waits; each outcome comes back as a signal on the caller's thread. A conversation that
// failed is connected again for the next command.
class QtConversation : public QObject {
    Q_OBJECT
public:
    // Connects at once; throws DdeError when nobody serves service|topic.
    QtConversation(std::string service, std::string topic, std::chrono::milliseconds timeout = kDefaultTimeout,
                   QObject* parent = nullptr);
    ~QtConversation() override;

    QString name() const;
    // Queues the command; returns at once.
    void execute(QByteArray command);
    // Commands queued or in flight.
    int pending() const;

signals:
    void executed(QByteArray command, bool accepted, QString reason);
    void failed(QByteArray command, QString error);

private:
    void run();

    std::string m_service;
    std::string m_topic;
    std::chrono::milliseconds m_timeout;
    std::unique_ptr<Conversation> m_conversation;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QByteArray> m_queue;
    int m_inFlight = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace qln::dde
