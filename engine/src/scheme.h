// Serves this://app and res: for every page: native calls from the page runtime, file icons,
// items the host callback hands over, and this://app items from the installed pages folder.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

#include <optional>

#include "engine/src/file_icons.h"

namespace engine {

inline constexpr char kArchiveScheme[] = "this";
inline constexpr char kResourceScheme[] = "res";
inline constexpr char kArchiveRoot[] = "this://app";
// Path prefix of the page runtime's calls; a page item can never be named like this.
inline constexpr char kCallPath[] = "/$engine/call";

class SchemeHandler final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    // this://app/$engine/icon?path=<file>&size=<pixels>: image/png, or not found.
    void answerIcon(QWebEngineUrlRequestJob* job);
    // this://app/$engine/text?id=<id>: a long argument of a running call, once; else not found.
    void answerText(QWebEngineUrlRequestJob* job);

    FileIcons m_icons;
};

// The file of a this://app URL inside `folder`, or nothing when the URL is not an archive URL or
// would leave the folder.
std::optional<QString> pagesFolderFile(const QString& folder, const QString& url);

}  // namespace engine
