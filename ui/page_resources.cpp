#include "ui/page_resources.h"

#include <QFile>

#include <atomic>

#include "engine/sdk/sciter_value.h"
#include "ui/page_urls.h"

namespace pellanor::ui {

namespace {

std::atomic<std::uintptr_t> g_archive{0};

constexpr int kMaxResourceName = 260;

}  // namespace

std::uintptr_t openUiArchive(const unsigned char* data, std::size_t size) {
    const SciterApi* api = sciter::api();
    if (const std::uintptr_t old = g_archive.exchange(0)) api->SciterCloseArchive(old);
    const std::uintptr_t archive = api->SciterOpenArchive(data, size);
    g_archive = archive;
    return archive;
}

std::uintptr_t uiArchive() { return g_archive; }

QString archiveItemPath(const QString& url) {
    static const QString kRoot = QLatin1String(ui::kArchiveRootUrl) + QLatin1Char('/');
    if (!url.startsWith(kRoot)) return {};
    QString path = url.mid(kRoot.size());
    if (path.startsWith(QLatin1String("//"))) path.remove(0, 2);
    const int end = path.indexOf(QRegExp(QStringLiteral("[?#]")));
    return end < 0 ? path : path.left(end);
}

std::optional<ResourceKey> resourceKey(const QString& url) {
    if (!url.startsWith(QLatin1String("res:"))) return std::nullopt;
    QString name = url.mid(4);
    if (name.startsWith(QLatin1String("//"))) name.remove(0, 2);
    name.truncate(kMaxResourceName);
    ResourceKey key{name, QStringLiteral("HTML")};
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QString extension = name.mid(dot + 1);
        key.name = name.left(dot);
        if (!extension.isEmpty() &&
            extension.compare(QLatin1String("html"), Qt::CaseInsensitive) != 0 &&
            extension.compare(QLatin1String("htm"), Qt::CaseInsensitive) != 0) {
            key.type = extension;
        }
    }
    return key;
}

QByteArray loadResource(const ResourceKey& key) {
    QFile file(QStringLiteral(":/res/%1/%2").arg(key.type.toUpper(), key.name.toUpper()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace pellanor::ui
