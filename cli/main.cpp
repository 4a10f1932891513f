// pellanor-cli: calls any NativeUtil member by name, headless, through the same member table and
// argument rules the pages use.
//
//   pellanor-cli METHOD [ARG...]   each ARG a JSON value; a bare word counts as a string;
//                                  @PATH reads the value from a file, @@x is the text @x
//   pellanor-cli --list            the table: name, kind, parameter count
//
// The result is printed as one JSON value (null for a method without one). A parameter that
// takes a script function is not given on the command line: the CLI supplies a callback that
// prints every report map as one JSON line and waits for the final one ("done", "stopped",
// "error"). There is no main window: what needs one gives its failure value, and download
// reports, which travel through the main window's timers in the program, come through timers of
// the CLI's own. Before it exits, the CLI lets the HTTP client finish what a method sent (a
// usage event's retries included), for at most 15 s, so a caller sees every request it makes.
//
// Workers are detached threads that may still be winding down (their captures destroyed, their
// I/O canceller retired) while the CLI ends. So a worker never calls into Qt's event machinery
// here: posting the quit from the worker gave it thread data of Qt's own, torn down at the
// worker's exit while the application object was being destroyed, and the CLI then crashed at
// exit about once in four hundred runs on a loaded machine. The UI thread polls for the final
// report instead, and the printer outlives every callback.
#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "bridge/native_util.h"
#include "cli/json_text.h"
#include "net/http_client.h"
#include "system/process_facts.h"
#include "ui/deferred_calls.h"

namespace {

using pellanor::bridge::Argument;
using pellanor::bridge::Member;
using pellanor::bridge::MemberKind;
using pellanor::bridge::ParamKind;

constexpr int kHttpSettleMs = 15000;

void printLine(const QByteArray& line) {
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// One JSON value from the command line; anything that does not parse is a string.
QJsonValue parseArgument(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray("[") + text.toUtf8() + "]", &error);
    if (error.error == QJsonParseError::NoError && document.array().size() == 1) {
        return document.array().at(0);
    }
    return text;
}

// "@PATH": the value in that file, for lists longer than a command line may be (a system
// limits one argument to 128 KiB). False when the file cannot be read.
bool readArgument(const QString& word, QString& text) {
    if (!word.startsWith(QLatin1Char('@')) || word.startsWith(QLatin1String("@@"))) {
        text = word.startsWith(QLatin1String("@@")) ? word.mid(1) : word;
        return true;
    }
    QFile file(word.mid(1));
    if (!file.open(QIODevice::ReadOnly)) return false;
    text = QString::fromUtf8(file.readAll());
    return true;
}

// A text result, a scan's whole document among them, is written without a JSON copy of it,
// and without a quoted copy either: it goes out in slices.
void printResult(const pellanor::bridge::Result& result) {
    if (const QString* text = std::get_if<QString>(&result)) {
        pellanor::cli::writeQuotedJsonString(stdout, *text);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        return;
    }
    const QJsonValue json = pellanor::bridge::toJson(result);
    printLine(json.isUndefined() ? QByteArray("null") : pellanor::cli::jsonText(json));
}

// Report maps are printed as they arrive, but never before the method's own result.
class ReportPrinter {
public:
    // A report's text (a scan's whole document, each time) goes out in slices as it is written.
    void report(const QVariantMap& event) {
        const QString type = event.value(QStringLiteral("type")).toString();
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_resultPrinted) {
            printEvent(event);
        } else {
            m_held.push_back(event);
        }
        if (type == QLatin1String("done") || type == QLatin1String("stopped") ||
            type == QLatin1String("error")) {
            m_finished = true;
        }
    }
    // Read by the UI thread's poll; set by whichever thread sends the final report.
    bool finalArrived() const { return m_finished; }
    // Prints the result and what came before it; true when the final report has arrived.
    bool printResult(const pellanor::bridge::Result& result) {
        std::lock_guard<std::mutex> guard(m_lock);
        ::printResult(result);
        for (const QVariantMap& event : m_held) printEvent(event);
        m_held.clear();
        m_resultPrinted = true;
        return m_finished;
    }

private:
    static void printEvent(const QVariantMap& event) {
        pellanor::cli::writeJsonLine(stdout, event);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

    std::mutex m_lock;
    std::vector<QVariantMap> m_held;
    bool m_resultPrinted = false;
    std::atomic<bool> m_finished{false};
};

// Runs the event loop (download reports arrive through its timers) until the final report.
void waitForFinalReport(const ReportPrinter& printer) {
    constexpr int kPollMs = 10;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&printer] {
        if (printer.finalArrived()) QCoreApplication::quit();
    });
    poll.start(kPollMs);
    QCoreApplication::exec();
}

int listMembers() {
    for (const Member& member : pellanor::bridge::nativeUtilClass().members()) {
        printLine(QByteArray(member.name) + '\t' +
                  (member.kind == MemberKind::Method ? "method" : "property") + '\t' +
                  QByteArray::number(static_cast<int>(member.params.size())));
    }
    return 0;
}

int usage() {
    std::fputs("usage: pellanor-cli METHOD [ARG...] | pellanor-cli --list\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    pellanor::ui::deliverOnApplicationTimers();
    // The CLI's own arguments stand for the program's, so that a LANG= token works here too.
    std::vector<std::u16string> programArguments;
    for (const QString& argument : QCoreApplication::arguments()) {
        programArguments.push_back(argument.toStdU16String());
    }
    pellanor::system::setProgramArguments(std::move(programArguments));
    const QStringList words = QCoreApplication::arguments().mid(1);
    if (words.isEmpty()) return usage();
    if (words.first() == QLatin1String("--list")) return listMembers();

    const auto& table = pellanor::bridge::nativeUtilClass();
    const Member* member = table.find(words.first());
    if (!member) {
        std::fprintf(stderr, "pellanor-cli: no method or property named %s\n",
                     qPrintable(words.first()));
        return 2;
    }
    // Shared with every callback, so that a worker still holding one never outlives it.
    const auto printer = std::make_shared<ReportPrinter>();
    bool waits = false;
    std::vector<Argument> arguments;
    int next = 1;
    for (ParamKind kind : member->params) {
        if (kind == ParamKind::Function) {
            arguments.push_back(pellanor::bridge::ReportFunction(
                [printer](const QVariantMap& event) { printer->report(event); }));
            waits = true;
            continue;
        }
        if (kind == ParamKind::Callable) {
            arguments.push_back(
                pellanor::bridge::ScriptFunction([printer](const QVariantList& values, QString&) {
                    if (!values.isEmpty()) printer->report(values.first().toMap());
                    return true;
                }));
            waits = true;
            continue;
        }
        const bool present = next < words.size();
        QString word;
        if (present && !readArgument(words.at(next), word)) {
            std::fprintf(stderr, "pellanor-cli: cannot read %s\n", qPrintable(words.at(next)));
            return 2;
        }
        arguments.push_back(pellanor::bridge::fromJson(present ? parseArgument(word) : QJsonValue(),
                                                       kind, present));
        ++next;
    }
    if (next < words.size()) {
        std::fprintf(stderr, "pellanor-cli: %s takes %d argument(s); the rest are ignored\n",
                     member->name, next - 1);
    }

    pellanor::bridge::Result result;
    QString error;
    if (!table.invoke(*member, nullptr, pellanor::bridge::Arguments(std::move(arguments)), result,
                      error)) {
        std::fprintf(stderr, "pellanor-cli: %s failed: %s\n", member->name, qPrintable(error));
        return 1;
    }
    const bool finished = printer->printResult(result);
    // A request that started nothing (the method refused it) sends no report.
    const bool started = !std::holds_alternative<int>(result) || std::get<int>(result) != 0;
    if (waits && started && !finished) waitForFinalReport(*printer);
    if (pellanor::net::HttpClient::exists()) {
        pellanor::net::HttpClient::instance()->waitUntilIdle(kHttpSettleMs);
    }
    return 0;
}
