// Where page windows get their content: the packed UI archive for this://app addresses and the
// executable's own resources for res: addresses.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace pellanor::ui {

// Opens the packed archive held in `data` as the process's UI archive, closing the previous
// one. The result is the engine's handle (0 when the engine refused the block).
std::uintptr_t openUiArchive(const unsigned char* data, std::size_t size);
std::uintptr_t uiArchive();

// The item path inside the archive for a this://app address ("this://app/main/x.html" ->
// "main/x.html"; a further "//" after the prefix is skipped; query and fragment are not part of
// an item's name). Empty when the address is not under the archive root.
QString archiveItemPath(const QString& url);

// A resource of the executable as Windows names it: a name and a type, the type being "HTML"
// for pages.
struct ResourceKey {
    QString name;
    QString type;
};
// "res:page.html" -> {page, HTML}; "res:logo.png" -> {logo, png}; nullopt for other addresses.
std::optional<ResourceKey> resourceKey(const QString& url);

// The resource's bytes, empty when it does not exist. Here Qt resources stand in for the
// executable's resources, at ":/res/<TYPE>/<NAME>", both upper-cased because Windows matches
// resource names and types regardless of case.
QByteArray loadResource(const ResourceKey& key);

}  // namespace pellanor::ui
