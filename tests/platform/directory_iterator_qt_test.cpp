// The walk must list exactly what Qt's iterator lists with the same filters, in the same order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <random>
#include <string>
#include <vector>

#include "platform/directory_iterator.h"

namespace pellanor::platform {
namespace {

struct Listed {
    std::string path;
    bool isFile;
    bool isDirectory;
    std::int64_t size;
    std::int64_t modified;
    bool operator==(const Listed& o) const {
        return path == o.path && isFile == o.isFile && isDirectory == o.isDirectory &&
               size == o.size && modified == o.modified;
    }
};

std::ostream& operator<<(std::ostream& out, const Listed& l) {
    return out << l.path << " file=" << l.isFile << " dir=" << l.isDirectory << " size=" << l.size
               << " mtime=" << l.modified;
}

void writeFile(const QString& path, int bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'q'));
}

// Deterministic tree with everything the rules treat specially: hidden files and folders, links
// to files and folders (also pointing out of the tree), dangling links, a FIFO, entries with no
// permissions and an empty folder.
void buildTree(const QString& root, const QString& outside) {
    std::mt19937 random(20261207);
    QStringList folders{root};
    for (int i = 0; i < 40; ++i) {
        const QString parent = folders[static_cast<int>(random() % folders.size())];
        const QString name = (random() % 5 == 0 ? "." : "") + QString("d%1").arg(i);
        ASSERT_TRUE(QDir().mkpath(parent + "/" + name));
        folders << parent + "/" + name;
    }
    for (int i = 0; i < 300; ++i) {
        const QString parent = folders[static_cast<int>(random() % folders.size())];
        const QString name = (random() % 6 == 0 ? "." : "") + QString("f%1.bin").arg(i);
        writeFile(parent + "/" + name, static_cast<int>(random() % 5000));
    }
    const std::string r = root.toStdString();
    ASSERT_EQ(::symlink((r + "/f1.bin").c_str(), (r + "/link-to-file").c_str()), 0);
    ASSERT_EQ(::symlink(outside.toStdString().c_str(), (r + "/link-out").c_str()), 0);
    ASSERT_TRUE(QDir().mkpath(root + "/real-dir"));
    writeFile(root + "/real-dir/inside.bin", 5);
    ASSERT_EQ(::symlink((r + "/real-dir").c_str(), (r + "/link-to-dir").c_str()), 0);
    ASSERT_EQ(::symlink((r + "/nowhere").c_str(), (r + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink((r + "/nowhere").c_str(), (r + "/.dangling-hidden").c_str()), 0);
    ASSERT_EQ(::mkfifo((r + "/fifo").c_str(), 0600), 0);
    writeFile(root + "/locked.bin", 10);
    ASSERT_EQ(::chmod((r + "/locked.bin").c_str(), 0), 0);
    ASSERT_TRUE(QDir().mkpath(root + "/locked-dir"));
    writeFile(root + "/locked-dir/inner.bin", 7);
    ASSERT_EQ(::chmod((r + "/locked-dir").c_str(), 0), 0);
    ASSERT_TRUE(QDir().mkpath(root + "/empty"));
}

std::vector<Listed> listWithQt(const QString& root, QDir::Filters filters, bool recursive) {
    std::vector<Listed> out;
    QDirIterator it(root, filters | QDir::NoDotAndDotDot,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        out.push_back({it.filePath().toStdString(), info.isFile(), info.isDir(),
                       info.isFile() ? info.size() : 0, info.lastModified().toMSecsSinceEpoch()});
    }
    return out;
}

std::vector<Listed> listWithOurs(const QString& root, const DirectoryFilter& filter) {
    std::vector<Listed> out;
    DirectoryIterator iterator(root.toStdString(), filter);
    DirectoryEntry e;
    while (iterator.next(e)) {
        out.push_back({e.path, e.isFile, e.isDirectory, e.size, e.modifiedMsecs});
    }
    return out;
}

class DirectoryIteratorAgainstQt : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.isValid());
        ASSERT_TRUE(m_outside.isValid());
        writeFile(m_outside.path() + "/sentinel.bin", 100);
        m_root = m_temp.path() + "/tree";
        buildTree(m_root, m_outside.path());
    }
    void TearDown() override {
        // Owners may always change modes, so the temp folder can be removed again.
        ::chmod((m_root + "/locked-dir").toStdString().c_str(), 0700);
    }

    void expectSame(QDir::Filters qtFilters, const DirectoryFilter& ours) {
        for (const QString& root : {m_root, m_root + "/"}) {
            const auto expected = listWithQt(root, qtFilters, ours.recursive);
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(listWithOurs(root, ours), expected);
        }
    }

    QTemporaryDir m_temp;
    QTemporaryDir m_outside;
    QString m_root;
};

TEST_F(DirectoryIteratorAgainstQt, ListsTheSameReadableVisibleFilesRecursively) {
    DirectoryFilter filter;
    filter.readableOnly = true;
    filter.recursive = true;
    expectSame(QDir::Files | QDir::NoSymLinks | QDir::Readable, filter);
}

TEST_F(DirectoryIteratorAgainstQt, ListsTheSameFilesWithHiddenAndSystemEntriesRecursively) {
    DirectoryFilter filter;
    filter.hidden = true;
    filter.system = true;
    filter.recursive = true;
    expectSame(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, filter);
}

TEST_F(DirectoryIteratorAgainstQt, ListsTheSameFilesAndFoldersOfOneLevel) {
    DirectoryFilter files;
    files.readableOnly = true;
    expectSame(QDir::Files | QDir::NoSymLinks | QDir::Readable, files);
    DirectoryFilter folders;
    folders.files = false;
    folders.directories = true;
    folders.readableOnly = true;
    expectSame(QDir::Dirs | QDir::NoSymLinks | QDir::Readable, folders);
}

TEST_F(DirectoryIteratorAgainstQt, ListsTheSameFoldersRecursively) {
    DirectoryFilter filter;
    filter.files = false;
    filter.directories = true;
    filter.recursive = true;
    expectSame(QDir::Dirs | QDir::NoSymLinks, filter);
}

}  // namespace
}  // namespace pellanor::platform
