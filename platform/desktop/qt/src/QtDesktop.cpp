#include "quillon/desktop/QtDesktop.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace qln::desktop {

namespace {

// Runs work on the GUI thread and hands back its result; false when there is no
// application to run it.
template <class Work>
bool onGuiThread(Work&& work)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return false;
    if (QThread::currentThread() == app->thread())
        work();
    else
        QMetaObject::invokeMethod(app, std::forward<Work>(work), Qt::BlockingQueuedConnection);
    return true;
}

QMessageBox::StandardButton standardButton(Button button)
{
    switch (button) {
    case Button::Ok: return QMessageBox::Ok;
    case Button::Cancel: return QMessageBox::Cancel;
    case Button::Abort: return QMessageBox::Abort;
    case Button::Retry: return QMessageBox::Retry;
    case Button::Ignore: return QMessageBox::Ignore;
    case Button::Yes: return QMessageBox::Yes;
    case Button::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(Icon icon)
{
    switch (icon) {
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Information: return QMessageBox::Information;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

Button showBox(const MessageBoxRequest& request)
{
    QMessageBox box(messageIcon(request.icon), QString::fromStdString(request.title),
                    QString::fromStdString(request.text), QMessageBox::NoButton, QApplication::activeWindow());
    const auto buttons = buttonsOf(request.buttons);
    for (const Button button : buttons) box.addButton(standardButton(button));
    box.setDefaultButton(standardButton(defaultButton(request)));
    // Closing the box answers Cancel where the set has it, else the default.
    const bool hasCancel = std::find(buttons.begin(), buttons.end(), Button::Cancel) != buttons.end();
    box.setEscapeButton(standardButton(hasCancel ? Button::Cancel : defaultButton(request)));
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const Button button : buttons)
        if (standardButton(button) == clicked) return button;
    return hasCancel ? Button::Cancel : defaultButton(request);
}

} // namespace

Button QtMessageBoxHandler::show(const MessageBoxRequest& request)
{
    Button answer = defaultButton(request);
    if (!onGuiThread([&] { answer = showBox(request); })) return standardErrorMessageBoxes()->show(request);
    return answer;
}

QString nameFilter(const FileFilter& filter)
{
    QString patterns;
    for (const auto& pattern : filter.patterns)
        patterns += (patterns.isEmpty() ? "" : " ") + QString::fromStdString(pattern);
    // QFileDialog reads the patterns from the last parentheses of the text.
    const QString description = QString::fromStdString(filter.description);
    if (description.endsWith(")") && description.contains("(")) return description;
    return description + " (" + patterns + ")";
}

// Hides the files a request does not offer; folders stay so the user can move about.
class OfferedFiles : public QSortFilterProxyModel {
public:
    OfferedFiles(std::function<bool(const std::filesystem::path&)> offers, QObject* parent)
        : QSortFilterProxyModel(parent), m_offers(std::move(offers))
    {
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files) return true;
        const QModelIndex index = files->index(row, 0, parent);
        if (files->isDir(index)) return true;
        return m_offers(std::filesystem::path(files->filePath(index).toStdString()));
    }

private:
    std::function<bool(const std::filesystem::path&)> m_offers;
};

std::optional<std::filesystem::path> QtFileDialogHandler::openFile(const OpenFileRequest& request)
{
    std::optional<std::filesystem::path> chosen;
    const bool shown = onGuiThread([&] {
        QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title),
                           QString::fromStdString(request.initialFolder.string()));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        if (request.hideReadOnly) dialog.setOption(QFileDialog::ReadOnly, false);
        QStringList filters;
        for (const auto& filter : request.filters) filters << nameFilter(filter);
        if (!filters.isEmpty()) dialog.setNameFilters(filters);
        if (request.offers) {
            // The platform's own dialog takes no filter model.
            dialog.setOption(QFileDialog::DontUseNativeDialog, true);
            dialog.setProxyModel(new OfferedFiles(request.offers, &dialog));
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = std::filesystem::path(dialog.selectedFiles().front().toStdString());
    });
    if (!shown) {
        std::fprintf(stderr, "%s: no file dialog can be shown here; nothing chosen\n", request.title.c_str());
        return std::nullopt;
    }
    return chosen;
}

void installQtHandlers()
{
    setMessageBoxHandler(std::make_shared<QtMessageBoxHandler>());
    setFileDialogHandler(std::make_shared<QtFileDialogHandler>());
}

WindowPublisher::WindowPublisher(QWidget* window)
    : QObject(window)
    , m_window(window)
    , m_entry(std::make_unique<PublishedWindow>(window->windowTitle().toStdString(), window->isVisible()))
{
    window->installEventFilter(this);
}

WindowPublisher::~WindowPublisher() = default;

bool WindowPublisher::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::WindowTitleChange:
        case QEvent::Show:
        case QEvent::Hide:
            refresh();
            break;
        case QEvent::WindowActivate:
            try {
                m_entry->raise();
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s\n", error.what());
            }
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowPublisher::refresh()
{
    try {
        m_entry->update(m_window->windowTitle().toStdString(), m_window->isVisible());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
}

} // namespace qln::desktop
