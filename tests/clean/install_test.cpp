// Where an install may go, and what its uninstall removes, on a made-up profile whose every
// folder variable points into a temp folder.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "clean/install_folder.h"
#include "clean/install_manifest.h"
#include "platform/executable.h"
#include "platform/self_delete.h"
#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::exists;
using test_support::LogCapture;
using test_support::ScopedEnvironment;
using test_support::writeFile;

const char* const kUserFolders[] = {"Desktop",  "Documents", "Downloads",       "Music",
                                    "Pictures", "Videos",    "AppData/Roaming", "AppData/Local"};

// home/ with the user's folders, programs/ as %PROGRAMFILES%, temp/, and a sentinel outside.
class InstallProfile final {
public:
    InstallProfile() {
        m_env.set("HOME", home().toStdString());
        m_env.set("USERPROFILE", home().toStdString());
        m_env.set("APPDATA", home("AppData/Roaming").toStdString());
        m_env.set("LOCALAPPDATA", home("AppData/Local").toStdString());
        m_env.set("XDG_CONFIG_HOME", home(".config").toStdString());
        m_env.set("XDG_DATA_HOME", home(".local/share").toStdString());
        m_env.set("PROGRAMFILES", path("programs").toStdString());
        m_env.set("TMPDIR", path("temp").toStdString());
        m_env.set("PELLANOR_DRIVES", ("C=" + path("c")).toStdString());
        for (const char* name : {"XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "XDG_DOWNLOAD_DIR",
                                 "XDG_MUSIC_DIR", "XDG_PICTURES_DIR", "XDG_VIDEOS_DIR"}) {
            m_env.unset(name);
        }
        for (const char* folder : kUserFolders) writeFile(home(folder) + "/mine.txt", 3);
        writeFile(home("Documents/thesis.docx"), 100);
        writeFile(path("outside/keep.txt"), 10);
        QDir().mkpath(path("programs"));
        QDir().mkpath(path("temp"));
    }

    QString path(const QString& relative) const { return m_root.filePath(relative); }
    QString home(const QString& relative = {}) const {
        return relative.isEmpty() ? path("home") : path("home/" + relative);
    }
    QString programs(const QString& relative) const { return path("programs/" + relative); }

    // The sentinels: the user's files in each folder and one outside the profile.
    void expectSentinels() const {
        for (const char* folder : kUserFolders) EXPECT_TRUE(exists(home(folder) + "/mine.txt"));
        EXPECT_TRUE(exists(home("Documents/thesis.docx")));
        EXPECT_TRUE(exists(path("outside/keep.txt")));
    }

private:
    ScopedEnvironment m_env;
    QTemporaryDir m_root;
};

// What the installer does: the marker, the record, then the files.
void install(const QString& folder, const QStringList& entries) {
    writeFile(folder + "/Pellanor.install", 2);
    QString json = "[";
    for (const QString& entry : entries) json += (json.size() > 1 ? ",\"" : "\"") + entry + "\"";
    ASSERT_TRUE(recordInstalled(folder, json + "]")) << folder.toStdString();
    for (const QString& entry : entries) {
        if (entry.endsWith('/')) {
            QDir().mkpath(folder + "/" + entry);
        } else {
            writeFile(folder + "/" + entry, 5);
        }
    }
}

const QStringList kProgram = {"Pellanor",         "libsciter.so",        "pages/",
                              "pages/main/",      "pages/main/a.html",   "pages/b.css",
                              "pages/installer/", "pages/installer/c.js"};

// Runs what the self-delete script does once the program has ended, with the removal list.
void runRemoval(const QString& folder, const QStringList& removals, const QString& temp) {
    // The script removes its own folder once empty, as it does the private one it is written to.
    ASSERT_TRUE(QDir().mkpath(temp));
    const QString list = temp + "/removal.list";
    QFile listFile(list);
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
    listFile.write(removals.join('\n').toUtf8() + '\n');
    listFile.close();
    QByteArray text = QByteArray::fromStdString(platform::selfDeleteScriptText(999999999));
    QFile script(temp + "/script.sh");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(text);
    script.close();
    EXPECT_EQ(QProcess::execute("/bin/sh", {script.fileName(), "999999999", folder, list}), 0);
    EXPECT_FALSE(exists(list));
}

TEST(InstallFolderRefusal, RefusesTheUsersFoldersTheirParentsAndOtherPeoplesFiles) {
    InstallProfile profile;
    const QString earlier = profile.programs("Earlier");
    install(earlier, {"Pellanor"});
    writeFile(earlier + "/added by the user.txt", 1);
    writeFile(profile.programs("Foreign/notes.txt"), 1);
    writeFile(profile.programs("MarkerOnly/Pellanor.install"), 1);
    writeFile(profile.programs("MarkerOnly/notes.txt"), 1);
    writeFile(profile.programs("Cut/Pellanor.install"), 1);
    QDir().mkpath(profile.programs("Empty"));
    writeFile(profile.programs("AFile"), 1);
    QFile::link(profile.home("Documents"), profile.programs("LinkToDocuments"));
    QFile::link(profile.programs("Empty"), profile.programs("LinkToEmpty"));
    const QString own = QFileInfo(QString::fromStdString(platform::executablePath())).path();
    LogCapture log;

    const std::vector<std::pair<QString, QString>> cases = {
        {profile.home(), "profile"},
        {profile.path("."), "profile"},
        {profile.home("Desktop"), "known"},
        {profile.home("Documents"), "known"},
        {profile.home("Documents/"), "known"},
        {profile.home("Downloads"), "known"},
        {profile.home("music"), "known"},  // case is ignored: Windows ignores it
        {profile.home("Pictures"), "known"},
        {profile.home("Videos"), "known"},
        {profile.home("AppData"), "known"},
        {profile.home("AppData/Roaming"), "known"},
        {profile.home("AppData/Local"), "known"},
        {profile.home("Documents/../Desktop"), "known"},
        {profile.path("programs"), "system"},
        {profile.programs("Foreign"), "foreign"},
        {profile.programs("MarkerOnly"), "foreign"},
        {profile.programs("AFile"), "notFolder"},
        {profile.programs("LinkToDocuments"), "notFolder"},
        {profile.programs("LinkToEmpty"), "notFolder"},
        {own + "/not yet there", "own"},
        {"", "empty"},
        {"Pellanor", "relative"},
        {profile.programs("50%"), "relative"},
        {"/", "root"},
        {"C:\\", "root"},
        // Allowed: an earlier install with a file the user added, one cut short, an empty or
        // a new folder, and a folder of its own inside one of the user's.
        {earlier, ""},
        {profile.programs("Cut"), ""},
        {profile.programs("Empty"), ""},
        {profile.programs("New"), ""},
        {profile.home("Documents/Pellanor"), ""},
    };
    for (const auto& [folder, refusal] : cases) {
        EXPECT_EQ(installFolderRefusal(folder), refusal) << folder.toStdString();
    }
    EXPECT_TRUE(log.contains("install folder " + profile.home("Desktop").toStdString() +
                             " refused: known"));
    profile.expectSentinels();
}

TEST(InstallRemoval, RemovesWhatTheInstallWroteAndKeepsWhatTheUserAdded) {
    InstallProfile profile;
    const QString kept = profile.programs("Kept");
    const QString gone = profile.programs("Gone");
    install(kept, kProgram);
    install(gone, kProgram);
    writeFile(kept + "/my notes.txt", 1);
    writeFile(kept + "/pages/main/mine.css", 1);

    runRemoval(kept, installRemovalList(kept), profile.path("temp"));
    runRemoval(gone, installRemovalList(gone), profile.path("temp"));

    EXPECT_FALSE(exists(gone));
    EXPECT_TRUE(exists(kept + "/my notes.txt"));
    EXPECT_TRUE(exists(kept + "/pages/main/mine.css"));
    for (const QString& name :
         QStringList{"Pellanor", "libsciter.so", "pages/main/a.html", "pages/b.css",
                     "pages/installer", "Pellanor.install", "Pellanor.manifest"}) {
        EXPECT_FALSE(exists(kept + "/" + name)) << name.toStdString();
    }
    EXPECT_EQ(QDir(kept).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"my notes.txt", "pages"}));
    profile.expectSentinels();
}

TEST(InstallRemoval, AnInstallCutShortIsRemovedByWhatItRecorded) {
    InstallProfile profile;
    const QString folder = profile.programs("Cut");
    writeFile(folder + "/Pellanor.install", 2);
    // Recorded in full before the copy, which stopped after the first file.
    ASSERT_TRUE(recordInstalled(folder, "[\"Pellanor\", \"pages/\", \"pages/a.html\"]"));
    writeFile(folder + "/Pellanor", 5);

    const QStringList removals = installRemovalList(folder);
    EXPECT_EQ(removals,
              QStringList({"F " + folder + "/Pellanor", "F " + folder + "/Pellanor.manifest",
                           "F " + folder + "/Pellanor.install", "D " + folder}));
    runRemoval(folder, removals, profile.path("temp"));
    EXPECT_FALSE(exists(folder));
}

TEST(InstallRemoval, RefusesManifestEntriesThatLeadOutOfTheFolder) {
    InstallProfile profile;
    const QString folder = profile.programs("Pellanor");
    install(folder, {"Pellanor", "pages/", "pages/a.html"});
    const QString outside = profile.path("outside");
    QFile::link(outside, folder + "/linked");
    QFile::link(outside + "/keep.txt", folder + "/keep-link");
    QFile::link(outside, folder + "/pages/inner");
    // Each tampered entry and the reason it is refused.
    const std::vector<std::pair<QString, std::string>> tampered = {
        {"../outside/keep.txt", "an empty, . or .. name"},
        {"pages/./../../outside/keep.txt", "an empty, . or .. name"},
        {outside + "/keep.txt", "absolute"},
        {"..\\outside\\keep.txt", "a backslash or colon"},
        {"C:/outside/keep.txt", "a backslash or colon"},
        {"linked/keep.txt", "a link"},
        {"linked/", "a link"},
        {"keep-link", "a link"},
        {"pages/inner/keep.txt", "a link"},
        {"Pellanor/", "not a folder"},
        {"pages", "a folder"},
    };
    QFile manifest(folder + "/Pellanor.manifest");
    ASSERT_TRUE(manifest.open(QIODevice::Append));
    for (const auto& entry : tampered) manifest.write(entry.first.toUtf8() + "\n");
    manifest.close();
    LogCapture log;

    const QStringList removals = installRemovalList(folder);
    runRemoval(folder, removals, profile.path("temp"));

    EXPECT_EQ(removals.size(), 6);  // the three listed, the manifest, the marker, the folder
    for (const auto& [entry, reason] : tampered) {
        EXPECT_TRUE(log.contains("uninstall refused entry " + entry.toStdString() + " of " +
                                 folder.toStdString() + ": " + reason))
            << entry.toStdString();
    }
    EXPECT_TRUE(exists(outside + "/keep.txt"));
    // The links stay, and so does the folder holding them.
    EXPECT_TRUE(exists(folder + "/linked"));
    EXPECT_FALSE(exists(folder + "/Pellanor"));
    profile.expectSentinels();
}

TEST(ScheduleInstallRemoval, RemovesNothingFromAFolderOfTheUsersThatHoldsAMarker) {
    InstallProfile profile;
    const QString documents = profile.home("Documents");
    // A copy of the program and the marker in Documents, with a manifest naming the thesis.
    writeFile(documents + "/Pellanor", 5);
    writeFile(documents + "/Pellanor.install", 2);
    ASSERT_TRUE(recordInstalled(documents, "[\"Pellanor\", \"thesis.docx\"]"));
    LogCapture log;

    EXPECT_FALSE(scheduleInstallRemoval(documents));
    EXPECT_FALSE(scheduleInstallRemoval(profile.home()));
    EXPECT_FALSE(scheduleInstallRemoval(""));
    // Without a manifest there is nothing to go by.
    writeFile(profile.programs("Old/Pellanor.install"), 2);
    writeFile(profile.programs("Old/Pellanor"), 2);
    EXPECT_FALSE(scheduleInstallRemoval(profile.programs("Old")));
    EXPECT_TRUE(installRemovalList(profile.programs("Old")).isEmpty());

    EXPECT_TRUE(log.contains("uninstall refused for " + documents.toStdString() + ": known"));
    EXPECT_TRUE(QDir(profile.path("temp")).isEmpty());
    EXPECT_TRUE(exists(documents + "/Pellanor"));
    EXPECT_TRUE(exists(profile.programs("Old/Pellanor")));
    profile.expectSentinels();
}

TEST(ScheduleInstallRemoval, HandsThePrivateListToTheSelfDeleteScript) {
    InstallProfile profile;
    const QString folder = profile.programs("Pellanor");
    install(folder, kProgram);

    ASSERT_TRUE(scheduleInstallRemoval(folder));
    const QStringList lists =
        QDir(profile.path("temp")).entryList({"pellanor_uninstall_*.list"}, QDir::Files);
    ASSERT_EQ(lists.size(), 1);
    QFile list(profile.path("temp/") + lists.front());
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(list.readAll()).split('\n', Qt::SkipEmptyParts),
              installRemovalList(folder));
    EXPECT_EQ(list.permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
}

TEST(RecordInstalled, KeepsOneListAndRecordsNothingFromABadBatch) {
    InstallProfile profile;
    const QString folder = profile.programs("Pellanor");
    QDir().mkpath(folder);
    LogCapture log;

    EXPECT_TRUE(recordInstalled(folder, "[\"a\", \"pages/\"]"));
    EXPECT_TRUE(recordInstalled(folder, "[\"pages/\", \"b\", \"b\"]"));
    EXPECT_FALSE(recordInstalled(folder, "[\"c\", \"../escape\"]"));
    EXPECT_FALSE(recordInstalled(folder, "[\"Pellanor.install\"]"));
    EXPECT_FALSE(recordInstalled(folder, "{\"a\": 1}"));
    EXPECT_FALSE(recordInstalled(folder, "[1]"));
    EXPECT_FALSE(recordInstalled(profile.programs("Missing"), "[\"a\"]"));
    EXPECT_FALSE(recordInstalled("relative", "[\"a\"]"));

    QFile manifest(folder + "/Pellanor.manifest");
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(manifest.readAll()).split('\n');
    EXPECT_TRUE(lines.front().startsWith("# Pellanor install manifest 1"));
    EXPECT_EQ(lines.mid(1), QStringList({"a", "pages/", "b", ""}));
    EXPECT_TRUE(log.contains("record installed refused entry ../escape in " + folder.toStdString() +
                             ": an empty, . or .. name"));
    EXPECT_FALSE(exists(profile.programs("Missing")));
}

}  // namespace
}  // namespace pellanor
