// Qt's clipboard and folder dialog, each used only on the thread of a running GUI application.
#include "ui/toolkit_dialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QThread>

#include "ui/desktop_dialogs.h"

namespace pellanor::ui {
namespace {

// Qt's clipboard belongs to the GUI thread of a running GUI application; it is the one the
// desktop session sees while the program's windows run.
std::optional<bool> onApplicationClipboard(const QString& text) {
    auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (application == nullptr || QThread::currentThread() != application->thread()) return {};
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

void installToolkitDialogsOfThisApplication() {
    installToolkitDialogs({onApplicationClipboard, folderFromToolkitDialog});
}

}  // namespace pellanor::ui
