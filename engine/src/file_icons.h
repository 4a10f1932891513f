// Icons of files as PNG images for this://app/$engine/icon: an image file is its own icon, any
// other file gets the system's icon for it (the shell's on Windows, so a program's .exe or .dll
// shows the program's own icon). Answers are cached per file, size and modification time.
#pragma once

#include <QByteArray>
#include <QCache>
#include <QString>

namespace engine {

// Path of the icon requests, beside the calls': a page item can never be named like this.
inline constexpr char kIconPath[] = "/$engine/icon";
inline constexpr int kIconMinSize = 16;
inline constexpr int kIconMaxSize = 256;
inline constexpr int kIconDefaultSize = 32;

// The asked edge in pixels, clamped to kIconMinSize..kIconMaxSize; kIconDefaultSize when the
// text is not a whole number.
int iconSizeFrom(const QString& text);

struct FileIcon {
    QByteArray png;      // size x size pixels; empty when there is no icon
    const char* reason;  // why there is none, for the log; nullptr when png is set
};

class FileIcons final {
public:
    // The icon of the file at `path` (a Windows-shaped path is read through the drive map on
    // other systems) as a PNG of exactly size x size pixels, the picture centred and scaled
    // with its proportions kept. None for a relative path, a missing file, a folder, an image
    // that cannot be read or an empty icon. Blocks on the disk (and on Windows on the shell);
    // UI thread only, as the system's icons are pixmaps.
    FileIcon icon(const QString& path, int size);

private:
    // Bounded by the bytes of the PNGs kept; an answer without icon costs one unit.
    QCache<QString, FileIcon> m_cache{4 * 1024 * 1024};
};

}  // namespace engine
