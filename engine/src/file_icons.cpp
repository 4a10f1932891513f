// File icons for the pages. The system's icon provider is synchronous, and on Windows it asks
// the shell, which opens the program file and can take milliseconds for a large .exe; a list of
// programs asks again for the same rows whenever it scrolls back, hence the cache.
#include "engine/src/file_icons.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

#include "platform/paths.h"

namespace engine {

namespace {

// Decoding costs width x height x 4 bytes at once, before any scaling: nothing that large is
// an icon, and a crafted header must not make the UI thread allocate gigabytes.
constexpr qint64 kMaxImagePixels = qint64{4096} * 4096;
// An .ico holds one picture in a few sizes; a file with more images is read no further.
constexpr int kMaxImagesInFile = 32;

QString hostPath(const QString& path) {
    return QString::fromStdString(pellanor::platform::localPath(path.toStdString()));
}

// An image file is its own icon. The suffix decides first, so that a broken .png stays without
// icon rather than getting the generic icon of its type.
bool isImageFile(const QFileInfo& file) {
    const QByteArray suffix = file.suffix().toLower().toLatin1();
    if (!suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix)) return true;
    return QImageReader(file.filePath()).canRead();
}

// Which of two pictures of one file to scale: the smallest that covers `size`, else the
// largest, as scaling down keeps detail and scaling up blurs.
bool isBetter(const QSize& candidate, const QSize& current, int size) {
    if (current.isEmpty()) return true;
    const int edge = std::max(candidate.width(), candidate.height());
    const int currentEdge = std::max(current.width(), current.height());
    const bool covers = edge >= size;
    const bool currentCovers = currentEdge >= size;
    if (covers != currentCovers) return covers;
    return covers ? edge < currentEdge : edge > currentEdge;
}

QImage pictureOf(const QString& file, int size, const char** reason) {
    QImageReader reader(file);
    const int count = std::clamp(reader.imageCount(), 1, kMaxImagesInFile);
    QImage best;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToImage(i)) break;
        const QSize declared = reader.size();
        if (declared.isValid() && qint64{declared.width()} * declared.height() > kMaxImagePixels) {
            *reason = "image too large";
            return {};
        }
        const QImage image = reader.read();
        if (image.isNull()) break;
        if (isBetter(image.size(), best.size(), size)) best = image;
    }
    if (best.isNull()) *reason = "unreadable image";
    return best;
}

QImage systemIconOf(const QFileInfo& file, int size, const char** reason) {
    static const QFileIconProvider provider;
    const QIcon icon = provider.icon(file);
    const QPixmap pixmap = icon.isNull() ? QPixmap() : icon.pixmap(QSize(size, size));
    if (pixmap.isNull()) {
        *reason = "empty icon";
        return {};
    }
    return pixmap.toImage();
}

QByteArray squarePng(const QImage& picture, int size) {
    QImage canvas(size, size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    const QImage scaled =
        picture.size() == QSize(size, size)
            ? picture
            : picture.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&canvas);
    painter.drawImage((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    canvas.save(&buffer, "PNG");
    return png;
}

FileIcon render(const QFileInfo& file, int size) {
    const char* reason = nullptr;
    const QImage picture = isImageFile(file) ? pictureOf(file.filePath(), size, &reason)
                                             : systemIconOf(file, size, &reason);
    if (picture.isNull()) return {{}, reason};
    return {squarePng(picture, size), nullptr};
}

}  // namespace

int iconSizeFrom(const QString& text) {
    bool number = false;
    const int size = text.toInt(&number);
    return number ? std::clamp(size, kIconMinSize, kIconMaxSize) : kIconDefaultSize;
}

FileIcon FileIcons::icon(const QString& path, int size) {
    if (path.isEmpty()) return {{}, "no path"};
    const QFileInfo file(hostPath(path));
    if (!file.isAbsolute()) return {{}, "not an absolute path"};
    if (!file.exists()) return {{}, "no such file"};
    if (file.isDir()) return {{}, "a folder"};
    // Devices and pipes: reading a pipe's header would block the UI thread until a writer came.
    if (!file.isFile()) return {{}, "not a regular file"};
    const QString key = file.absoluteFilePath() + QLatin1Char('|') + QString::number(size) +
                        QLatin1Char('|') +
                        QString::number(file.lastModified().toMSecsSinceEpoch()) +
                        QLatin1Char('|') + QString::number(file.size());
    if (const FileIcon* kept = m_cache.object(key)) return *kept;
    const FileIcon made = render(file, size);
    m_cache.insert(key, new FileIcon(made), std::max(1, static_cast<int>(made.png.size())));
    return made;
}

}  // namespace engine
