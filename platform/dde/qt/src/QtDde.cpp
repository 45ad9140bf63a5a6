#include "quillon/dde/QtDde.h"

#include <QMetaObject>

#include <algorithm>
#include <QSocketNotifier>

namespace qln::dde {

QtServer::QtServer(std::string_view service, std::string_view topic, Server::Handler handler, QObject* parent)
    : QObject(parent)
    , m_server(std::make_unique<Server>(service, topic, std::move(handler)))
{
    watch();
}

QtServer::~QtServer() = default;

void QtServer::activity()
{
    m_server->poll();
    // A conversation that ended has closed its descriptor: stop watching it now, or the
    // event loop polls a closed (perhaps reused) descriptor until watch() runs.
    const std::vector<int> open = m_server->fds();
    for (auto& n : m_notifiers)
        if (n && n->isEnabled() && std::find(open.begin(), open.end(), static_cast<int>(n->socket())) == open.end())
            n->setEnabled(false);
    // Conversations come and go: watch the current set. Deferred, because the notifier
    // that called us must not be deleted under it.
    QMetaObject::invokeMethod(this, [this] { watch(); }, Qt::QueuedConnection);
}

void QtServer::watch()
{
    // Every conversation is watched for commands; those with a reply still to send also for
    // room to write, so the reply goes out whatever the peer does next.
    std::vector<std::pair<int, QSocketNotifier::Type>> wanted;
    for (const int fd : m_server->fds())
        wanted.emplace_back(fd, QSocketNotifier::Read);
    for (const int fd : m_server->pendingWrites())
        wanted.emplace_back(fd, QSocketNotifier::Write);
    std::vector<std::unique_ptr<QSocketNotifier>> keep;
    for (const auto& [fd, type] : wanted) {
        auto it = std::find_if(m_notifiers.begin(), m_notifiers.end(), [fd, type](const auto& n) {
            return n && n->isEnabled() && n->socket() == fd && n->type() == type;
        });
        if (it != m_notifiers.end()) {
            keep.push_back(std::move(*it));
            continue;
        }
        auto notifier = std::make_unique<QSocketNotifier>(fd, type);
        connect(notifier.get(), &QSocketNotifier::activated, this, &QtServer::activity);
        keep.push_back(std::move(notifier));
    }
    for (auto& gone : m_notifiers)
        if (gone)
            gone->setEnabled(false);
    m_notifiers = std::move(keep);
}

QtConversation::QtConversation(std::string service, std::string topic, std::chrono::milliseconds timeout,
                               QObject* parent)
    : QObject(parent)
    , m_service(std::move(service))
    , m_topic(std::move(topic))
    , m_timeout(timeout)
    , m_conversation(std::make_unique<Conversation>(m_service, m_topic, m_timeout))
    , m_thread([this] { run(); })
{
}

QtConversation::~QtConversation()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QString QtConversation::name() const
{
    return QString::fromStdString(m_service + "|" + m_topic);
}

void QtConversation::execute(QByteArray command)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(command));
    }
    m_wake.notify_one();
}

int QtConversation::pending() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_queue.size()) + m_inFlight;
}

void QtConversation::run()
{
    for (;;) {
        QByteArray command;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            command = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_inFlight;
        }
        bool accepted = false;
        QString text;
        bool ok = true;
        try {
            if (!m_conversation || !m_conversation->isOpen())
                m_conversation = std::make_unique<Conversation>(m_service, m_topic, m_timeout);
            const Reply reply = m_conversation->execute(std::string_view(command.constData(), command.size()));
            accepted = reply.accepted;
            text = QString::fromStdString(reply.reason);
        } catch (const std::exception& e) {
            ok = false;
            text = QString::fromStdString(e.what());
        }
        // Delivered on the owner's thread; dropped when the owner is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, command, accepted, text, ok] {
                {
                    std::lock_guard lock(m_mutex);
                    --m_inFlight;
                }
                if (ok)
                    emit executed(command, accepted, text);
                else
                    emit failed(command, text);
            },
            Qt::QueuedConnection);
    }
}

} // namespace qln::dde
