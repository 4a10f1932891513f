// Thin Qt wrappers over the platform's link-safe removal, which runs on Windows too; the
// wrappers add the log line for what stayed.
#include "clean/tree_removal.h"

#include <cstdint>
#include <string>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/tree_removal.h"

namespace pellanor {
namespace {

constexpr char kTag[] = "NativeUtil";

std::string listed(const platform::RemovalReport& report) {
    std::string text;
    for (const std::string& path : report.firstLeft) text += (text.empty() ? "" : ", ") + path;
    if (report.leftCount > static_cast<std::int64_t>(report.firstLeft.size())) text += ", ...";
    return text;
}

bool logged(const char* action, const QString& path, const platform::RemovalReport& report) {
    if (report.stopped) logging::info(kTag, "{} {} stopped", action, path);
    if (report.leftCount > 0) {
        logging::info(kTag, "{} {} left {} entries: {}", action, path, report.leftCount,
                      listed(report));
    }
    return report.complete();
}

}  // namespace

bool removeFolderTree(const QString& path, const CancelPredicate& stop) {
    platform::RemovalOptions options;
    options.foldersOnly = true;
    options.stop = stop;
    return logged("remove tree", path, platform::removeTree(path.toStdString(), options));
}

bool emptyFolder(const QString& path, const CancelPredicate& stop) {
    platform::RemovalOptions options;
    options.keepHiddenEntries = true;
    options.stop = stop;
    return logged("empty folder", path, platform::clearFolder(path.toStdString(), options));
}

}  // namespace pellanor
