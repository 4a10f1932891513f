// Process facts. The language override is looked for in the program's real arguments: Qt's
// argument list holds only the name the start-up gives it, so it never carries the token.
#include "system/process_facts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/executable.h"

namespace pellanor::system {
namespace {

constexpr char kLanguageTag[] = "LANG";

std::vector<std::u16string>& argumentStore() {
    static std::vector<std::u16string> arguments;
    return arguments;
}

// Skips the program's path: a folder name is not an argument.
QString languageArgument() {
    static const QRegularExpression token(QStringLiteral("LANG=([a-zA-Z]{2}\\-[a-zA-Z]{2})"));
    const std::vector<std::u16string>& all = programArguments();
    for (std::size_t i = 1; i < all.size(); ++i) {
        const QRegularExpressionMatch match = token.match(QString::fromStdU16String(all[i]));
        if (match.hasMatch()) return match.captured(1);
    }
    return {};
}

}  // namespace

void setProgramArguments(std::vector<std::u16string> arguments) {
    argumentStore() = std::move(arguments);
}

const std::vector<std::u16string>& programArguments() { return argumentStore(); }

QString language() {
    const QStringList languages = QLocale::system().uiLanguages();
    QString tag = languages.isEmpty() ? QString() : languages.first();
    logging::info(kLanguageTag, "detected lang: {}", tag);
    const QString wanted = languageArgument();
    if (!wanted.isEmpty()) {
        tag = wanted;
        logging::info(kLanguageTag, "debug param lang: {}", tag);
    }
    return tag;
}

QString arguments() {
    if (QCoreApplication::instance() == nullptr) return {};
    return QCoreApplication::arguments().join(QLatin1Char(' '));
}

QString getCommandLine() { return QString::fromStdString(platform::processCommandLine()); }

QString getProcessFullDir() {
    const QString path = QString::fromStdString(platform::executablePath());
    const int separator =
        std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return separator < 0 ? QString() : path.left(separator);
}

}  // namespace pellanor::system
