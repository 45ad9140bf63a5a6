#include "ReportJob.h"

#include "ViewerState.h"
#include "frmQuillon.h"
#include "quillon/desktop/MessageBox.h"

#include <QMetaObject>
#include <QPointer>

namespace qln::viewer {

void runReportJob(frmQuillon&, std::function<short()> work, std::function<void(short status)> done)
{
    done(work());
}

Messages windowMessages(ViewerState& st, frmQuillon& form)
{
    Messages messages;
    QPointer<frmQuillon> window(&form);
    messages.status = [window](const std::string& text) {
        QMetaObject::invokeMethod(window, [window, text] {
            if (window) window->setStatusText(QString::fromStdString(text));
        });
    };
    messages.box = [](const std::string& text) {
        // A document still open in the word processor stops the report: the critical icon.
        const bool locked = text.rfind("Word Document already open", 0) == 0;
        desktop::messageBox(
            {text, "Quillon", desktop::Buttons::Ok, locked ? desktop::Icon::Critical : desktop::Icon::Exclamation});
    };
    messages.report = [&st](int type, const std::string& procedure, const std::string& text) {
        st.reporter->cReportMsg(static_cast<reporting::MRUMsgType>(type), reporting::gmrDISP, procedure, 1, 0, {text});
    };
    return messages;
}

} // namespace qln::viewer
