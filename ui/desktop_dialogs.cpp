// The system's clipboard and folder dialog through the platform layer, and the toolkit's where the
// program installed them.
#include "ui/desktop_dialogs.h"

#include <utility>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/clipboard.h"
#include "platform/shell.h"

namespace pellanor::ui {
namespace {

constexpr char kTag[] = "NativeUtil";

ToolkitDialogs& toolkit() {
    static ToolkitDialogs dialogs;
    return dialogs;
}

}  // namespace

void installToolkitDialogs(ToolkitDialogs dialogs) { toolkit() = std::move(dialogs); }

bool copyToClipboard(const QString& text) {
    if (text.isEmpty()) return false;
    std::optional<bool> placed;
    if (toolkit().clipboard) placed = toolkit().clipboard(text);
    if (!placed) placed = platform::setClipboardText(text.toStdString());
    if (*placed) logging::info(kTag, "copy to clipboard, length: {}", text.size());
    return *placed;
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
    return toolkit().folderDialog ? toolkit().folderDialog() : QString();
}

}  // namespace pellanor::ui
