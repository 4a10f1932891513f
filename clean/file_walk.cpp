// The file walk, on Qt's directory iterator with the filters the measurements rely on.
#include "clean/file_walk.h"

#include <QDirIterator>

namespace pellanor {

void walkFiles(const QString& folder, const std::function<bool(const QString&, qint64)>& visit) {
    QDirIterator it(folder, QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!visit(path, it.fileInfo().size())) return;
    }
}

}  // namespace pellanor
