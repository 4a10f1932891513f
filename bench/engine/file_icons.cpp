// UI-thread cost of one file icon as the engine renders it for a page: for N program files
// (distinct .exe files, as an uninstall list has) and N image files, the first answer of each
// and the cached one. Prints JSON with medians and 90th percentiles in milliseconds.
// Usage: file-icons-bench <folder with the files> [size]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/src/file_icons.h"

namespace {

struct Times {
    std::vector<double> ms;
    int withIcon = 0;
};

Times timeAll(engine::FileIcons& icons, const QStringList& files, int size) {
    Times times;
    for (const QString& file : files) {
        QElapsedTimer clock;
        clock.start();
        const engine::FileIcon icon = icons.icon(file, size);
        times.ms.push_back(clock.nsecsElapsed() / 1e6);
        if (!icon.png.isEmpty()) ++times.withIcon;
    }
    return times;
}

QJsonObject summary(Times times) {
    std::sort(times.ms.begin(), times.ms.end());
    const auto at = [&](double q) {
        return times.ms.empty()
                   ? 0.0
                   : times.ms[std::min(times.ms.size() - 1, std::size_t(q * times.ms.size()))];
    };
    return {{"files", int(times.ms.size())},
            {"withIcon", times.withIcon},
            {"median", at(0.5)},
            {"p90", at(0.9)},
            {"max", at(1.0)}};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: file-icons-bench <folder> [size]\n");
        return 2;
    }
    const int size = argc > 2 ? std::atoi(argv[2]) : 24;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QStringList exes, images;
    for (const QFileInfo& file : folder.entryInfoList(QDir::Files, QDir::Name)) {
        (file.suffix() == QLatin1String("exe") ? exes : images) << file.absoluteFilePath();
    }
    engine::FileIcons icons;
    QJsonObject report;
    report["exeFirst"] = summary(timeAll(icons, exes, size));
    report["exeCached"] = summary(timeAll(icons, exes, size));
    report["imageFirst"] = summary(timeAll(icons, images, size));
    report["imageCached"] = summary(timeAll(icons, images, size));
    std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    return 0;
}
