// Installed programs. Each uninstall entry is read with the fixed buffers of the registry calls
// the pages were built against (256-unit subkey names, 2,048-byte values), so an entry that did
// not fit them is left out rather than shown cut.
#include "system/installed_programs.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <optional>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/installer.h"
#include "platform/shell_execute.h"
#include "system/environment_text.h"

namespace pellanor::system {
namespace {

namespace reg = platform::registry;

constexpr char kTag[] = "NativeUtil";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr std::size_t kSubkeyNameUnits = 256;
constexpr std::size_t kValueBufferBytes = 2048;
// The expansion buffers, in UTF-16 units, less their terminating zero and one spare unit.
constexpr int kExpandedTextUnits = 4094;
constexpr int kExpandedIconUnits = 1038;
constexpr char kInstallerCache[] = "C:\\Windows\\Installer\\";

struct UninstallPass {
    reg::Root root;
    reg::View view;
};

// On 32-bit Windows both views are one key; the repeats it yields are dropped by name.
constexpr UninstallPass kUninstallPasses[] = {
    {reg::Root::LocalMachine, reg::View::Registry64},
    {reg::Root::LocalMachine, reg::View::Registry32},
    {reg::Root::CurrentUser, reg::View::Registry64},
    {reg::Root::CurrentUser, reg::View::Registry32},
};

QString text(const reg::Key& key, const char* valueName) {
    return readRegistryText(key, QLatin1String(valueName));
}

// System components, child entries of another product and updates have no uninstall of their
// own worth offering.
bool isHiddenEntry(const reg::Key& key) {
    if (text(key, "SystemComponent") == QLatin1String("1")) return true;
    if (!text(key, "ParentKeyName").isEmpty()) return true;
    const QString releaseType = text(key, "ReleaseType");
    for (const char* kind : {"Update", "Hotfix", "Patch", "Security"}) {
        if (releaseType.contains(QLatin1String(kind), Qt::CaseInsensitive)) return true;
    }
    return false;
}

std::optional<InstalledProgram> readProgram(const reg::Key& key) {
    InstalledProgram program;
    program.name = text(key, "DisplayName");
    if (program.name.isEmpty() || isHiddenEntry(key)) return std::nullopt;
    program.publisher = text(key, "Publisher");
    program.version = text(key, "DisplayVersion");
    program.installDate = text(key, "InstallDate");
    program.uninstallString = text(key, "UninstallString");
    program.installLocation = text(key, "InstallLocation");
    bool isNumber = false;
    program.estimatedSize = text(key, "EstimatedSize").toULongLong(&isNumber, 10);
    if (!isNumber) program.estimatedSize = 0;
    program.systemComponent = text(key, "SystemComponent") == QLatin1String("1");
    program.windowsInstaller = text(key, "WindowsInstaller") == QLatin1String("1");
    program.displayIcon = resolveProgramIcon(text(key, "DisplayIcon"), program.uninstallString,
                                             program.installLocation, program.windowsInstaller);
    return program;
}

void appendUninstallKey(const UninstallPass& pass, QList<InstalledProgram>& programs) {
    const reg::Key key = reg::openKey(pass.root, kUninstallKey, pass.view, reg::Access::Read);
    if (!key.isOpen()) return;
    std::string subkey;
    for (std::uint32_t index = 0;
         reg::enumSubkey(key, index, kSubkeyNameUnits, subkey) == reg::kSuccess; ++index) {
        const reg::Key entry = reg::openKey(pass.root, std::string(kUninstallKey) + '\\' + subkey,
                                            pass.view, reg::Access::Read);
        if (!entry.isOpen()) continue;
        if (auto program = readProgram(entry)) programs << *program;
    }
}

QList<InstalledProgram> withoutRepeats(const QList<InstalledProgram>& programs) {
    QList<InstalledProgram> kept;
    QSet<QString> seen;
    for (const InstalledProgram& program : programs) {
        const QString identity = program.name + QLatin1Char('|') + program.publisher;
        if (seen.contains(identity)) continue;
        seen.insert(identity);
        kept << program;
    }
    return kept;
}

QString withoutSurroundingQuotes(const QString& text) {
    if (text.size() > 1 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"'))) {
        return text.mid(1, text.size() - 2);
    }
    return text;
}

QString existingFile(const QString& path) {
    if (path.isEmpty()) return {};
    const QFileInfo file(hostPath(path));
    return file.exists() && !file.isDir() ? path : QString();
}

QString installerIcon(const QString& uninstallString) {
    const QString code = extractProductCode(uninstallString);
    if (code.isEmpty()) return {};
    const std::string productIcon = platform::installer::productIcon(code.toStdString());
    if (!productIcon.empty()) {
        const QString icon = existingFile(cleanIconPath(QString::fromStdString(productIcon)));
        if (!icon.isEmpty()) return icon;
    }
    const QString cache = QLatin1String(kInstallerCache) + code + QLatin1Char('\\');
    for (const char* name : {"icon.ico", "ARPPRODUCTICON.exe"}) {
        const QString icon = existingFile(cache + QLatin1String(name));
        if (!icon.isEmpty()) return icon;
    }
    return {};
}

QString firstExecutableIn(QString folder) {
    folder = folder.trimmed();
    while (folder.endsWith(QLatin1Char('\\'))) folder.chop(1);
    const QDir directory(hostPath(folder));
    if (!directory.exists()) return {};
    const QFileInfoList executables =
        directory.entryInfoList({QStringLiteral("*.exe")}, QDir::Files, QDir::Name);
    return executables.isEmpty() ? QString() : executables.first().absoluteFilePath();
}

}  // namespace

QList<InstalledProgram> listInstalledPrograms() {
    QList<InstalledProgram> programs;
    for (const UninstallPass& pass : kUninstallPasses) appendUninstallKey(pass, programs);
    programs = withoutRepeats(programs);
    std::stable_sort(programs.begin(), programs.end(),
                     [](const InstalledProgram& a, const InstalledProgram& b) {
                         return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
                     });
    return programs;
}

QJsonObject toJson(const InstalledProgram& program) {
    return QJsonObject{
        {QLatin1String(kProgramNameKey), program.name},
        {QLatin1String(kProgramPublisherKey), program.publisher},
        {QLatin1String(kProgramVersionKey), program.version},
        {QLatin1String(kProgramInstallDateKey), program.installDate},
        {QLatin1String(kProgramUninstallStringKey), program.uninstallString},
        {QLatin1String(kProgramDisplayIconKey), program.displayIcon},
        // A JSON number is a double: exact up to 2^53 KiB.
        {QLatin1String(kProgramEstimatedSizeKey), static_cast<double>(program.estimatedSize)},
        {QLatin1String(kProgramSystemComponentKey), program.systemComponent}};
}

QString getInstalledPrograms() {
    QJsonArray list;
    for (const InstalledProgram& program : listInstalledPrograms()) list.append(toJson(program));
    const QJsonObject envelope{{QLatin1String(kProgramListKey), list}};
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Indented));
}

QString readRegistryText(const reg::Key& key, const QString& valueName) {
    reg::Value value;
    if (reg::queryValue(key, valueName.toStdString(), kValueBufferBytes, value) != reg::kSuccess) {
        return {};
    }
    switch (value.type) {
        case reg::ValueType::String:
            return QString::fromStdString(reg::dataText(value.data));
        case reg::ValueType::ExpandString: {
            const QString stored = QString::fromStdString(reg::dataText(value.data));
            return expandEnvironmentWithin(stored, kExpandedTextUnits).value_or(stored);
        }
        case reg::ValueType::Dword: {
            if (value.data.size() != 4) return {};
            const std::uint32_t number = value.data[0] | (value.data[1] << 8) |
                                         (value.data[2] << 16) |
                                         (std::uint32_t{value.data[3]} << 24);
            return QString::number(number);
        }
        default:
            return {};
    }
}

QString cleanIconPath(const QString& text) {
    QString path = text.trimmed();
    if (path.isEmpty()) return {};
    path = withoutSurroundingQuotes(path);
    const int comma = path.lastIndexOf(QLatin1Char(','));
    if (comma > 0) {
        bool isIndex = false;
        path.mid(comma + 1).trimmed().toInt(&isIndex, 10);
        // A quoted path with an index ("\"C:\x\a.exe\",0") keeps its quotes until the index
        // is gone; they are no part of the file's name.
        if (isIndex) path = withoutSurroundingQuotes(path.left(comma).trimmed());
    }
    path = expandEnvironmentWithin(path, kExpandedIconUnits).value_or(path);
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return path;
}

QString extractProductCode(const QString& uninstallString) {
    static const QRegularExpression productCode(QStringLiteral(
        "\\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\\}"));
    return productCode.match(uninstallString).captured(0);
}

QString resolveProgramIcon(const QString& displayIcon, const QString& uninstallString,
                           const QString& installLocation, bool windowsInstaller) {
    const QString icon = existingFile(cleanIconPath(displayIcon));
    if (!icon.isEmpty()) return icon;
    if (windowsInstaller ||
        uninstallString.contains(QLatin1String("MsiExec"), Qt::CaseInsensitive)) {
        const QString cached = installerIcon(uninstallString);
        if (!cached.isEmpty()) return cached;
    }
    if (installLocation.isEmpty()) return {};
    return firstExecutableIn(installLocation);
}

UninstallCommand splitUninstallCommand(const QString& command) {
    UninstallCommand split;
    if (command.startsWith(QLatin1Char('"'))) {
        const int closing = command.indexOf(QLatin1Char('"'), 1);
        if (closing > 0) {
            split.exe = command.mid(1, closing - 1);
            split.params = command.mid(closing + 1).trimmed();
        }
    }
    if (split.exe.isEmpty()) {
        const int blank = command.indexOf(QLatin1Char(' '));
        if (blank >= 1) {
            split.exe = command.left(blank);
            split.params = command.mid(blank + 1).trimmed();
        } else {
            split.exe = command;
            split.params.clear();
        }
    }
    return split;
}

bool uninstallProgram(const QString& command) {
    const QString trimmed = command.trimmed();
    if (trimmed.isEmpty()) {
        logging::info(kTag, "uninstall command is empty");
        return false;
    }
    const UninstallCommand split = splitUninstallCommand(trimmed);
    logging::info(kTag, "uninstall program. exe={} params={}", split.exe, split.params);
    return platform::shellExecute(split.exe.toStdString(), split.params.toStdString());
}

}  // namespace pellanor::system
