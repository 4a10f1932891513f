// The pages' addresses: the packed UI archive's root followed by each page's path.
#pragma once

#include <QString>

namespace pellanor::ui {

inline constexpr char kArchiveRootUrl[] = "this://app";

// Built at static initialisation; read them only once main() has started.
extern const QString kLoadingPageUrl;
extern const QString kMainPageUrl;
extern const QString kTrayPageUrl;
extern const QString kFolderPickPageUrl;
extern const QString kUpdaterPageUrl;
extern const QString kHistoryPageUrl;
extern const QString kHotKeyPageUrl;
extern const QString kInstallerPageUrl;
extern const QString kUninstallerPageUrl;

}  // namespace pellanor::ui
