#include "modGisLink.h"

#include "JobControls.h"
#include "frmQuillon.h"

#include <QPointer>

namespace qln::viewer {

namespace {

// The link's view of the main window. The window may be gone before the link (the program
// ends with the window): then every request is dropped.
class FormLinkWindow final : public link::LinkWindow {
public:
    FormLinkWindow(frmQuillon& form, const ViewerState& st) : m_form(&form), m_st(st) {}

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
    bool MainFormReady() const override { return m_form && m_st.MainFormReady; }
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
    const ViewerState& m_st;
};

} // namespace

void CreateGisLink(ViewerState& st, frmQuillon& form)
{
    st.gisLink.reset();
    st.linkWindow = std::make_unique<FormLinkWindow>(form, st);
    st.gisLink = std::make_unique<link::GisLink>(*st.linkWindow, *st.reporter, *st.genutils);
}

} // namespace qln::viewer
