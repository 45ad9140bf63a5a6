#include "ReportJob.h"

#include "JobControls.h"
#include "frmQuillon.h"
#include "quillon/desktop/MessageBox.h"
#include "quillon/viewer/Session.h"

#include <QApplication>
#include <QMetaObject>
#include <QPointer>

#include <memory>

namespace qln::viewer {

namespace {

// The messages of a job, silent once it has been cancelled: the user asked it to stop.
Messages untilCancelled(const Messages& messages, BackgroundRun::Context& context)
{
    Messages quiet = messages;
    quiet.box = [box = messages.box, &context](const std::string& text) {
        if (!context.cancelled() && box) box(text);
    };
    quiet.report = [report = messages.report, &context](int type, const std::string& procedure,
                                                         const std::string& text) {
        if (!context.cancelled() && report) report(type, procedure, text);
    };
    // Each step names itself; the engine's counts then show under its name.
    quiet.progress = [&context](const char* step, long done, long total) {
        context.stage(step);
        context.progress(done, total);
        return !context.cancelled();
    };
    return quiet;
}

} // namespace

bool runReportJob(Session& session, frmQuillon& form, const std::string& procedure, const QString& caption,
                  ReportWork work)
{
    Messages messages = windowMessages(session, form);
    // Read by `done` once the work has ended.
    auto finished = std::make_shared<std::string>();
    messages.finished = [finished](const std::string& text) { *finished = text; };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool started = form.jobControls().start(
        caption,
        [work = std::move(work), messages, makeEngine = session.makeEngine](BackgroundRun::Context& context) {
            auto engine = makeEngine();
            engine->setProgressHandler([&context](long unitsDone, long total) {
                context.progress(unitsDone, total);
                return !context.cancelled();
            });
            work(*engine, untilCancelled(messages, context));
        },
        [&session, &form, procedure, finished](const BackgroundRun::Result& result) {
            if (result.outcome == BackgroundRun::Outcome::Failed)
                session.reportError(procedure.c_str(), "The report was not made.", result.error);
            QApplication::restoreOverrideCursor();
            form.setStatusText(finished->empty() ? form.resizedText() : QString::fromStdString(*finished));
        });
    if (!started) QApplication::restoreOverrideCursor();
    return started;
}

Messages windowMessages(Session& session, frmQuillon& form)
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
    messages.report = [&session](int type, const std::string& procedure, const std::string& text) {
        session.reporter().cReportMsg(static_cast<reporting::MRUMsgType>(type), reporting::gmrDISP, procedure, 1, 0, {text});
    };
    return messages;
}

} // namespace qln::viewer
