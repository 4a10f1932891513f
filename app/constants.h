// Process-wide constants that several modules read: the product's name and version, the root
// of the packed UI archive, the page addresses under it and the service's base address.
#pragma once

#include <QString>

namespace pellanor {

inline constexpr char kApplicationName[] = "Pellanor";
inline constexpr char kApplicationVersion[] = "1.3.6";
inline constexpr char kArchiveRootUrl[] = "this://app";
inline constexpr char kServiceBaseUrl[] = "https://api.pellanor.app";
// Sent with every service request, and carried by each disk record the pages receive.
inline constexpr int kApplicationId = 10001;

// Page addresses: the archive root followed by the page's path. Built at static
// initialisation; read them only once main() has started.
extern const QString kLoadingPageUrl;
extern const QString kMainPageUrl;
extern const QString kTrayPageUrl;
extern const QString kFolderPickPageUrl;
extern const QString kUpdaterPageUrl;
extern const QString kHistoryPageUrl;
extern const QString kHotKeyPageUrl;
extern const QString kInstallerPageUrl;
extern const QString kUninstallerPageUrl;

}  // namespace pellanor
