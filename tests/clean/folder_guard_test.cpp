// Folders named ambiguously (relative, drive-relative, through variables that point at the
// profile or a drive) must never be emptied or removed, whichever way they reach a deletion.
#include "clean/folder_guard.h"

#include <gtest/gtest.h>

#include "clean/forced_removal.h"
#include "clean/junk_cleaner.h"
#include "tests/clean/clean_test_support.h"

namespace pellanor {
namespace {

using test_support::exists;
using test_support::LogCapture;
using test_support::writeFile;

// The fake profile with drive C three folders deep inside it: should the ".." resolution ever
// regress, the folder it climbs to is still the test's own.
class Profile final {
public:
    Profile() {
        m_env.set("PELLANOR_DRIVES", ("C=" + driveC()).toStdString());
        QDir().mkpath(driveC());
    }
    QString driveC(const QString& relative = {}) const {
        return m_fake.path("deep/er/still/C/" + relative);
    }
    QString path(const QString& relative) const { return m_fake.path(relative); }
    QString local(const QString& relative) const { return m_fake.local(relative); }
    QString roaming(const QString& relative) const { return m_fake.roaming(relative); }
    QString temp(const QString& relative = {}) const { return m_fake.temp(relative); }
    QString outside(const QString& relative = {}) const { return m_fake.outside(relative); }
    QString makeSentinel() const { return m_fake.makeSentinel(); }

private:
    test_support::FakeProfile m_fake;
    test_support::ScopedEnvironment m_env;
};

// Moves this process into `folder` for one test, as the logon task starts the program in the
// system folder.
class ScopedCurrentFolder final {
public:
    explicit ScopedCurrentFolder(const QString& folder) : m_saved(QDir::currentPath()) {
        QDir().mkpath(folder);
        QDir::setCurrent(folder);
    }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;
    ~ScopedCurrentFolder() { QDir::setCurrent(m_saved); }

private:
    QString m_saved;
};

// A stand-in system folder to start in, with a sentinel in it, below a parent with another.
struct StartFolder {
    explicit StartFolder(const Profile& profile) : current(profile.driveC("Windows/System32")) {
        writeFile(profile.driveC("Windows/System32/kernel32.dll"), 1);
        writeFile(profile.driveC("Windows/win.ini"), 1);
        writeFile(profile.driveC("foo/keep.txt"), 1);
        writeFile(profile.driveC("Windows/System32/foo/keep.txt"), 1);
    }
    ScopedCurrentFolder current;
};

void expectStartFolderIntact(const Profile& profile) {
    for (const char* file : {"Windows/System32/kernel32.dll", "Windows/win.ini", "foo/keep.txt",
                             "Windows/System32/foo/keep.txt"}) {
        EXPECT_TRUE(exists(profile.driveC(file))) << file;
    }
}

const char* const kRelativeFolders[] = {".",
                                        "..",
                                        "C:",
                                        "C:foo",
                                        "\\pellanor-no-such-folder",
                                        "foo",
                                        "foo\\..",
                                        "\\\\?\\C:\\foo",
                                        "\\\\pellanor-no-such-server"};

TEST(RemoveDir, RefusesEveryFolderThatDependsOnTheCurrentFolder) {
    Profile profile;
    const StartFolder start(profile);
    test_support::FakeTools tools;
    tools.add("cmd.exe", 0);
    LogCapture log;

    for (const char* path : kRelativeFolders) {
        EXPECT_FALSE(removeDir(path)) << path;
        EXPECT_TRUE(
            log.contains(std::string("remove dir ") + path + " refused: not an absolute path"))
            << path;
        EXPECT_FALSE(shellForceDelete(path)) << path;
    }
    EXPECT_TRUE(tools.runs("cmd.exe").isEmpty());
    expectStartFolderIntact(profile);
}

TEST(RemoveDir, RefusesADriveReachedThroughDotDot) {
    Profile profile;
    const StartFolder start(profile);
    LogCapture log;

    // ".." never climbs above the drive's root: on the stand-in it must not reach the folder
    // that holds the mapped drive either.
    for (const char* path :
         {"C:\\Windows\\System32\\..\\..", "C:\\..", "C:/foo/../../..", "C:\\Windows\\..\\.\\"}) {
        EXPECT_FALSE(removeDir(path)) << path;
        EXPECT_TRUE(log.contains(std::string("remove dir ") + path + " refused: a drive root"))
            << path;
    }
    expectStartFolderIntact(profile);
    EXPECT_TRUE(exists(profile.path("Temp")));
}

TEST(RemoveDir, RemovesTheFolderTheResolvedPathNames) {
    Profile profile;
    const StartFolder start(profile);
    writeFile(profile.driveC("Apps/Old/x.dll"), 1);

    EXPECT_TRUE(removeDir("C:\\..\\Apps\\.\\Old\\"));
    EXPECT_FALSE(exists(profile.driveC("Apps/Old")));
    EXPECT_TRUE(exists(profile.driveC("Apps")));
    expectStartFolderIntact(profile);
}

TEST(ShellForceDelete, GivesTheToolsTheResolvedAbsoluteFolder) {
    Profile profile;
    QDir().mkpath(profile.driveC("Apps/Stuck Folder"));
    test_support::FakeTools tools;
    tools.add("cmd.exe", 0);

    EXPECT_TRUE(shellForceDelete("C:\\Apps\\x\\..\\Stuck Folder\\."));
    const QString folder = profile.driveC("Apps/Stuck Folder");
    EXPECT_EQ(tools.runs("cmd.exe"),
              (QStringList{"[/c][takeown][/F][" + folder + "][/A][/R][/D][Y]",
                           "[/c][icacls][" + folder + "][/grant][Administrators:F][/T]",
                           "[/c][rd][/s][/q][" + folder + "]"}));
}

TEST(ShellForceDelete, RefusesFoldersTheCommandInterpreterWouldReadDifferently) {
    Profile profile;
    const QString sentinel = profile.makeSentinel();
    test_support::FakeTools tools;
    tools.add("cmd.exe", 0);
    LogCapture log;

    // Each one exists, so only the refusal keeps the tools from running.
    for (const QString& folder :
         {profile.temp("%USERPROFILE%"), profile.temp("a%b"),
          profile.temp("x\" & rd /s /q \"") + sentinel, profile.temp("line\nbreak")}) {
        QDir().mkpath(folder);
        EXPECT_FALSE(shellForceDelete(folder)) << folder.toStdString();
        EXPECT_TRUE(log.contains("force remove dir " + folder.toStdString() +
                                 " refused: quote, percent sign or control character"));
        EXPECT_TRUE(exists(folder));
    }
    EXPECT_TRUE(tools.runs("cmd.exe").isEmpty());
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

TEST(ScheduleSelfDelete, RefusesEveryFolderThatDependsOnTheCurrentFolder) {
    Profile profile;
    test_support::ScopedEnvironment env;
    env.set("TMPDIR", profile.temp().toStdString());
    const StartFolder start(profile);
    LogCapture log;

    for (const char* folder : kRelativeFolders) {
        EXPECT_FALSE(scheduleSelfDelete(folder)) << folder;
        EXPECT_TRUE(log.contains(std::string("schedule self delete refused for dir ") + folder +
                                 ": not an absolute path"))
            << folder;
    }
    EXPECT_TRUE(QDir(profile.temp()).isEmpty());
    expectStartFolderIntact(profile);
}

std::string skipped(const char* id, const QString& folder, const std::string& reason) {
    return std::string("skip ") + id + " cleaning, folder " + folder.toStdString() +
           " refused: " + reason;
}

std::string summary(const std::string& types, bool success) {
    return "clean privacy items. types=" + types + " success=" + (success ? "true" : "false");
}

TEST(CleanPrivacyItems, NeverEmptiesATempThatNamesADriveTheProfileOrASystemFolder) {
    struct Case {
        const char* temp;
        std::string reason;  // empty: the profile's path, filled in below
    };
    Profile profile;
    test_support::ScopedEnvironment env;
    env.set("USERPROFILE", profile.path("Users/bob").toStdString());
    env.set("SystemRoot", "C:\\Windows");
    env.set("ProgramFiles", "C:\\Program Files");
    const StartFolder start(profile);
    writeFile(profile.path("Users/bob/Documents/thesis.doc"), 1);
    writeFile(profile.driveC("Program Files/App/app.exe"), 1);
    writeFile(profile.driveC("Users/alice/notes.txt"), 1);
    QFile::link(profile.path("Users/bob"), profile.outside("linked-profile"));
    const QString bob = profile.path("Users/bob");

    const Case cases[] = {
        {"C:\\", "a drive root"},
        {"C:", "not an absolute path"},
        {".", "not an absolute path"},
        {"Temp", "not an absolute path"},
        {"C:\\Windows", "holds C:\\Windows"},
        {"C:\\Windows\\System32\\..", "holds C:\\Windows"},
        {"C:\\Windows\\System32", "holds C:\\Windows\\System32"},
        {"C:\\Program Files", "holds C:\\Program Files"},
        {"C:\\Users", "holds C:\\Users"},
    };
    for (const Case& c : cases) {
        env.set("TEMP", c.temp);
        writeFile(profile.roaming("Microsoft/Windows/Recent/a.lnk"), 1);
        LogCapture log;
        EXPECT_TRUE(cleanPrivacyItems(R"(["temp", "recent"])"));
        EXPECT_TRUE(log.contains(skipped("temp", c.temp, c.reason))) << c.temp;
        EXPECT_TRUE(log.contains(summary(R"(["temp", "recent"])", false))) << c.temp;
        // The other rules still run.
        EXPECT_FALSE(exists(profile.roaming("Microsoft/Windows/Recent/a.lnk"))) << c.temp;
    }
    for (const QString& temp : {bob, profile.path("Users"), profile.outside("linked-profile"),
                                profile.local(""), profile.path("Roaming/.")}) {
        env.set("TEMP", temp.toStdString());
        LogCapture log;
        cleanPrivacyItems(R"(["temp"])");
        const auto messages = log.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front().rfind(skipped("temp", temp, "holds "), 0), 0u)
            << messages.front();
    }
    expectStartFolderIntact(profile);
    EXPECT_TRUE(exists(profile.path("Users/bob/Documents/thesis.doc")));
    EXPECT_TRUE(exists(profile.driveC("Program Files/App/app.exe")));
    EXPECT_TRUE(exists(profile.driveC("Users/alice/notes.txt")));
    EXPECT_TRUE(exists(profile.roaming("Microsoft")));
}

TEST(CleanPrivacyItems, SkipsBrowserAndProfileRulesWhoseVariablesAreRelative) {
    Profile profile;
    test_support::ScopedEnvironment env;
    env.set("LOCALAPPDATA", "Local");
    env.set("APPDATA", "Roaming");
    const ScopedCurrentFolder current(profile.outside());
    const QString sentinel = profile.makeSentinel();
    for (const char* file : {"Local/Google/Chrome/User Data/Default/Cache/data_1",
                             "Local/Microsoft/Edge/User Data/Default/Cache/data_1",
                             "Local/Mozilla/Firefox/Profiles/ab.default-release/cache2/1",
                             "Local/Microsoft/Windows/Explorer/thumbcache_1.db",
                             "Roaming/Microsoft/Windows/Recent/a.lnk"}) {
        writeFile(profile.outside(file), 1);
    }
    writeFile(profile.temp("a.tmp"), 1);
    LogCapture log;

    const QString types = R"(["chrome", "edge", "firefox", "thumbcache", "recent", "temp"])";
    EXPECT_TRUE(cleanPrivacyItems(types));
    EXPECT_TRUE(log.contains(skipped("chrome", "Local\\Google\\Chrome\\User Data\\Default\\Cache",
                                     "not an absolute path")));
    EXPECT_TRUE(log.contains(
        skipped("recent", "Roaming\\Microsoft\\Windows\\Recent", "not an absolute path")));
    EXPECT_TRUE(log.contains(summary(types.toStdString(), false)));
    for (const char* file : {"Local/Google/Chrome/User Data/Default/Cache/data_1",
                             "Local/Microsoft/Edge/User Data/Default/Cache/data_1",
                             "Local/Mozilla/Firefox/Profiles/ab.default-release/cache2/1",
                             "Local/Microsoft/Windows/Explorer/thumbcache_1.db",
                             "Roaming/Microsoft/Windows/Recent/a.lnk"}) {
        EXPECT_TRUE(exists(profile.outside(file))) << file;
    }
    EXPECT_FALSE(exists(profile.temp("a.tmp")));
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

// Anna's profile on the fake drive C, with her known folders where the shell would say they are,
// each holding a file that must survive.
class AnnasProfile final {
public:
    AnnasProfile() {
        m_env.set("USERPROFILE", profile.driveC("Users/Anna").toStdString());
        m_env.set("HOME", profile.driveC("Users/Anna").toStdString());
        m_env.set("XDG_CONFIG_HOME", profile.outside("config").toStdString());
        m_env.set("APPDATA", profile.driveC("Users/Anna/AppData/Roaming").toStdString());
        m_env.set("LOCALAPPDATA", profile.driveC("Users/Anna/AppData/Local").toStdString());
        m_env.set("TMPDIR", profile.temp().toStdString());
        m_env.set("SystemRoot", "C:\\Windows");
        m_env.set("ProgramFiles", "C:\\Program Files");
        for (const char* folder : kKeptFolders) writeFile(profile.driveC(folder) + "/keep.txt", 1);
    }

    void expectIntact() const {
        for (const char* folder : kKeptFolders) {
            EXPECT_TRUE(exists(profile.driveC(folder) + "/keep.txt")) << folder;
        }
    }

    static constexpr const char* kKeptFolders[] = {
        "Users/Anna",
        "Users/Anna/Desktop",
        "Users/Anna/Documents",
        "Users/Anna/Downloads",
        "Users/Anna/Music",
        "Users/Anna/Pictures",
        "Users/Anna/Videos",
        "Users/Anna/AppData/Roaming",
        "Users/Anna/AppData/Local",
        "Users/Bob",
        "Windows/System32",
        "Program Files/App",
        "ProgramData/App",
    };
    Profile profile;

private:
    test_support::ScopedEnvironment m_env;
};

TEST(ProtectedFolderRefusal, RefusesProtectedFoldersInEverySpellingThroughEveryDeletingMethod) {
    AnnasProfile anna;
    const Profile& profile = anna.profile;
    const QString sentinel = profile.makeSentinel();
    QFile::link(profile.driveC("Users/Anna"), profile.outside("to-profile"));
    QFile::link(profile.driveC("Users/Anna/Documents"), profile.outside("to-documents"));
    QFile::link(profile.driveC(), profile.outside("to-drive"));
    test_support::FakeTools tools;
    tools.add("cmd.exe", 0);

    const QString refused[] = {
        "C:\\Users\\Anna\\.",
        "C:\\Temp\\..\\Windows",
        "C:\\Windows.",
        "C:\\Windows ",
        "C:\\Windows\\System32\\..",
        "c:/windows/system32. . /",
        "C:\\Users\\Anna",
        "C:\\Users",
        "C:\\Users\\Anna\\Desktop",
        "C:\\Users\\Anna\\Documents. ",
        "C:\\Users\\Anna\\Downloads",
        "C:\\Users\\Anna\\Music",
        "C:\\Users\\Anna\\Pictures",
        "C:\\Users\\Anna\\Videos",
        "C:\\Users\\Anna\\AppData",
        "C:\\Users\\Anna\\AppData\\Roaming",
        "C:\\Program Files",
        "C:\\ProgramData",
        "C:\\",
        profile.outside("to-profile"),
        profile.outside("to-documents"),
        profile.outside("to-drive"),
        profile.driveC("Users/Anna/Music/.."),
    };
    LogCapture log;
    for (const QString& path : refused) {
        const std::string text = path.toStdString();
        const QString refusal = protectedFolderRefusal(path);
        EXPECT_TRUE(refusal.startsWith("holds ") || refusal == "a drive root") << text;
        EXPECT_FALSE(removeDir(path)) << text;
        EXPECT_TRUE(log.contains("remove dir " + text + " refused: " + refusal.toStdString()))
            << text;
        EXPECT_FALSE(shellForceDelete(path)) << text;
        EXPECT_FALSE(scheduleSelfDelete(path)) << text;
        EXPECT_TRUE(log.contains("schedule self delete refused for dir " + text + ": " +
                                 refusal.toStdString()))
            << text;
    }
    EXPECT_EQ(protectedFolderRefusal("C:\\Windows."), "holds C:\\Windows");
    EXPECT_EQ(protectedFolderRefusal(profile.outside("to-documents")),
              "holds " + profile.driveC("Users/Anna/Documents"));
    EXPECT_TRUE(tools.runs("cmd.exe").isEmpty());
    // No script was written either (the stand-in tools live in the temporary folder too).
    EXPECT_TRUE(QDir(profile.temp()).entryList({"pellanor-*"}, QDir::AllEntries).isEmpty());
    anna.expectIntact();
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

TEST(ProtectedFolderRefusal, LetsFoldersInsideTheProfileGo) {
    AnnasProfile anna;
    const Profile& profile = anna.profile;
    const QString sentinel = profile.makeSentinel();
    const char* const removable[] = {
        "Users/Anna/AppData/Local/Temp/setup-1",
        "Users/Anna/AppData/Local/Google/Chrome/User Data/Default/Cache",
        "Users/Anna/Documents/Old Letters",
    };
    for (const char* folder : removable) {
        writeFile(profile.driveC(folder) + "/x.tmp", 1);
        const QString path = "C:\\" + QString(folder).replace('/', '\\');
        EXPECT_EQ(protectedFolderRefusal(path), "") << folder;
        EXPECT_TRUE(removeDir(path)) << folder;
        EXPECT_FALSE(exists(profile.driveC(folder))) << folder;
    }
    anna.expectIntact();
    EXPECT_TRUE(exists(sentinel + "/keep.txt"));
}

TEST(CleanPrivacyItems, NeverEmptiesATempThatNamesAKnownFolder) {
    AnnasProfile anna;
    test_support::ScopedEnvironment env;
    for (const char* temp : {"C:\\Users\\Anna\\Documents.", "C:\\Users\\Anna\\Desktop\\"}) {
        env.set("TEMP", temp);
        LogCapture log;
        EXPECT_TRUE(cleanPrivacyItems(R"(["temp"])"));
        EXPECT_TRUE(log.contains(summary(R"(["temp"])", false))) << temp;
    }
    anna.expectIntact();
}

TEST(JunkFolderRefusal, AcceptsTheUsualFoldersAndResolvesDotsBeforeJudging) {
    Profile profile;
    test_support::ScopedEnvironment env;
    env.set("USERPROFILE", profile.path("Users/bob").toStdString());
    env.set("LOCALAPPDATA", profile.path("Users/bob/AppData/Local").toStdString());
    const QString local = profile.path("Users/bob/AppData/Local");
    QDir().mkpath(local + "/Temp");

    EXPECT_EQ(protectedFolderRefusal(local + "/Temp"), "");
    EXPECT_EQ(protectedFolderRefusal("C:\\Windows\\Temp"), "");
    EXPECT_EQ(protectedFolderRefusal("C:\\Windows\\Prefetch"), "");
    EXPECT_EQ(protectedFolderRefusal(local + "/Temp/.."), "holds " + local);
    EXPECT_EQ(protectedFolderRefusal(local.toUpper() + "/TEMP/.."), "holds " + local);
    EXPECT_EQ(protectedFolderRefusal(local + "/../.."), "holds " + profile.path("Users/bob"));
}

}  // namespace
}  // namespace pellanor
