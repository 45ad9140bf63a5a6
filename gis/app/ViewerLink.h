#pragma once

// The companion's side of the link with the viewer: starting it with the quoted
// "folder|attribute file" argument and sending it EXIT, SETFOCUS, ENABLECONTROLS and
// DISABLECONTROLS on its "messageToVB" topic.

#include "quillon/dde/QtDde.h"

#include <QObject>
#include <QString>

#include <memory>

class ViewerLink : public QObject {
    Q_OBJECT
public:
    explicit ViewerLink(QString viewerProgram, QObject* parent = nullptr);

    // The argument the viewer is started with: the folder and the attribute file joined by
    // "|", in double quotes.
    static QString startArgument(const QString& folder, const QString& attributeFile);

    bool viewerRunning() const;
    // Starts the viewer; false with the reason when it cannot be started.
    bool start(const QString& folder, const QString& attributeFile, QString& error);
    // Sends a command when a viewer serves its topic; a viewer that is not running is not
    // an error for these notices.
    void send(const char* command);
    // EXIT, waiting briefly so it goes out before the companion ends.
    void sendExit();

signals:
    void failed(QString error);

private:
    void drop();

    QString m_program;
    std::unique_ptr<qln::dde::QtConversation> m_conversation;
};
