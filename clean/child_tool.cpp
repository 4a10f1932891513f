#include "clean/child_tool.h"

#include <QProcess>

namespace pellanor {

ToolRun runTool(const QString& program, const QStringList& arguments, int timeoutMs) {
    ToolRun run;
    QProcess process;
    process.start(program, arguments);
    run.started = process.waitForStarted();
    if (!run.started) return run;
    run.finished =
        process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
    if (!run.finished) {
        process.kill();
        process.waitForFinished(1000);
        return run;
    }
    run.exitCode = process.exitCode();
    run.output = process.readAllStandardOutput();
    return run;
}

ToolRun runCommandLine(const QString& commandLine, int timeoutMs) {
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty()) return {};
    const QString program = words.takeFirst();
    return runTool(program, words, timeoutMs);
}

}  // namespace pellanor
