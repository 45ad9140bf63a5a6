#include "ViewerLink.h"

#include <QFileInfo>
#include <QProcess>

using namespace std::chrono_literals;

ViewerLink::ViewerLink(QString viewerProgram, QObject* parent)
    : QObject(parent)
    , m_program(std::move(viewerProgram))
{
}

QString ViewerLink::startArgument(const QString& folder, const QString& attributeFile)
{
    return "\"" + folder + "|" + attributeFile + "\"";
}

bool ViewerLink::viewerRunning() const
{
    try {
        qln::dde::Conversation probe("Quillon", "messageToVB", 500ms);
        return true;
    } catch (const qln::dde::DdeError&) {
        return false;
    }
}

bool ViewerLink::start(const QString& folder, const QString& attributeFile, QString& error)
{
    if (!QFileInfo(m_program).isExecutable()) {
        error = "The viewer program " + m_program + " is not there or cannot be run.";
        return false;
    }
    if (!QProcess::startDetached(m_program, {startArgument(folder, attributeFile)})) {
        error = "The viewer program " + m_program + " could not be started.";
        return false;
    }
    return true;
}

void ViewerLink::send(const char* command)
{
    if (!m_conversation) {
        try {
            m_conversation = std::make_unique<qln::dde::QtConversation>("Quillon", "messageToVB", 2000ms);
        } catch (const qln::dde::DdeError&) {
            return;  // no viewer running
        }
        connect(m_conversation.get(), &qln::dde::QtConversation::failed, this, [this](const QByteArray&, const QString& e) {
            drop();
            emit failed(e);
        });
    }
    m_conversation->execute(command);
}

// The conversation that failed is ended once its signal is over; the next notice connects anew.
void ViewerLink::drop()
{
    if (m_conversation)
        m_conversation.release()->deleteLater();
}

void ViewerLink::sendExit()
{
    m_conversation.reset();
    try {
        qln::dde::Conversation conversation("Quillon", "messageToVB", 1000ms);
        conversation.execute("EXIT");
    } catch (const qln::dde::DdeError&) {
        // No viewer running, or it is already gone.
    }
}
