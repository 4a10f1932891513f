// The start mode from the command line, and what each mode changes in the start-up.
#include "app/start_mode.h"

#include "ui/page_urls.h"

namespace pellanor::app {

StartMode startModeOf(const std::vector<std::u16string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const QString argument = QString::fromStdU16String(arguments[i]);
        if (argument.compare(QLatin1String(kInstallArgument), Qt::CaseInsensitive) == 0) {
            return StartMode::Install;
        }
        if (argument.compare(QLatin1String(kUninstallArgument), Qt::CaseInsensitive) == 0) {
            return StartMode::Uninstall;
        }
    }
    return StartMode::Normal;
}

QString firstPageUrl(StartMode mode) {
    switch (mode) {
        case StartMode::Install:
            return ui::kInstallerPageUrl;
        case StartMode::Uninstall:
            return ui::kUninstallerPageUrl;
        case StartMode::Normal:
            break;
    }
    return ui::kLoadingPageUrl;
}

bool takesPartInSingleInstance(StartMode mode) { return mode == StartMode::Normal; }

}  // namespace pellanor::app
