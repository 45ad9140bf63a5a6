#include "WindowLink.h"

#include "JobControls.h"
#include "frmQuillon.h"

#include <QPointer>

namespace qln::viewer {

namespace {

// The link's view of the main window. The window may be gone before the link (the program
// ends with the window): then every request is dropped.
class FormLinkWindow final : public link::LinkWindow {
public:
    FormLinkWindow(frmQuillon& form, const Session& session) : m_form(&form), m_session(session) {}

    void setStatusText(const std::string& text) override
    {
        if (m_form) m_form->setStatusText(QString::fromStdString(text));
    }
    void setStatusBold(bool bold) override
    {
        if (m_form) m_form->setStatusBold(bold);
    }
    void setCaption(const std::string& caption) override
    {
        if (m_form) m_form->setWindowTitle(QString::fromStdString(caption));
    }
    void setWindowEnabled(bool enabled) override
    {
        whenIdle([this, enabled] { m_form->setLinkEnabled(enabled); });
    }
    bool MainFormReady() const override { return m_form && m_session.state() != SessionState::Starting; }
    void EnableControls() override
    {
        whenIdle([this] { m_form->EnableControls(); });
    }
    void DisableControls() override
    {
        whenIdle([this] { m_form->DisableControls(); });
    }
    void restoreAndFocus() override
    {
        whenIdle([this] {
            m_form->setWindowState(m_form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
            m_form->raise();
            m_form->activateWindow();
        });
    }
    void unload() override
    {
        if (m_form) m_form->close();
    }

private:
    // Commands from the GIS wait while a run holds the window; "EXIT" waits in the close.
    void whenIdle(std::function<void()> action)
    {
        if (!m_form) return;
        m_form->jobControls().whenIdle([form = m_form, action = std::move(action)] {
            if (form) action();
        });
    }

    QPointer<frmQuillon> m_form;
    const Session& m_session;
};

// The link the session keeps: the window's view of it and the link itself (destroyed first).
class OwnedLink final : public SessionLink {
public:
    OwnedLink(frmQuillon& form, Session& session)
        : m_window(form, session), m_link(m_window, session.reporter(), session.genutils())
    {
    }

    bool ArcViewLinked() const override { return m_link.ArcViewLinked(); }
    std::filesystem::path attributeFile() const override
    {
        return std::filesystem::path(m_link.ShapeDirectory()) / m_link.AttributeFileName();
    }
    int Reset_DDE_Data() override { return m_link.Reset_DDE_Data(); }

    link::GisLink& gis() { return m_link; }

private:
    FormLinkWindow m_window;
    link::GisLink m_link;
};

} // namespace

void CreateGisLink(Session& session, frmQuillon& form)
{
    session.endLink();
    session.setLink(std::make_unique<OwnedLink>(form, session));
}

link::GisLink* gisLinkOf(const Session& session)
{
    auto* owned = dynamic_cast<OwnedLink*>(session.link());
    return owned ? &owned->gis() : nullptr;
}

} // namespace qln::viewer
