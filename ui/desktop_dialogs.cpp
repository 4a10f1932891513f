#include "ui/desktop_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QThread>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/clipboard.h"
#include "platform/shell.h"

namespace pellanor::ui {
namespace {

constexpr char kTag[] = "NativeUtil";

bool hasApplicationClipboard() {
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    return application != nullptr && QThread::currentThread() == application->thread();
}

// Qt's clipboard belongs to the GUI thread of a running GUI application; it is the one the
// desktop session sees while the program's windows run.
bool onApplicationClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->setText(text);
    return clipboard->text() == text;
}

// The toolkit's dialog needs a widget application on its thread; headless there is none.
QString folderFromToolkitDialog() {
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread()) return {};
    return QFileDialog::getExistingDirectory();
}

}  // namespace

bool copyToClipboard(const QString& text) {
    if (text.isEmpty()) return false;
    const bool placed = hasApplicationClipboard() ? onApplicationClipboard(text)
                                                  : platform::setClipboardText(text.toStdString());
    if (placed) logging::info(kTag, "copy to clipboard, length: {}", text.size());
    return placed;
}

QString selectFolder(const QString& title, const QString& path) {
    logging::info(kTag, "select folder. title={} path={}", title, path);
    const platform::FolderPick pick = platform::pickFolder();
    switch (pick.outcome) {
        case platform::FolderPickOutcome::Chosen:
            return QString::fromStdString(pick.path);
        case platform::FolderPickOutcome::Cancelled:
        case platform::FolderPickOutcome::Failed:
            return {};
        case platform::FolderPickOutcome::Unavailable:
            break;
    }
    // Only where the system has no dialog at all; a system dialog that failed is not replaced
    // by a second one.
    return folderFromToolkitDialog();
}

}  // namespace pellanor::ui
