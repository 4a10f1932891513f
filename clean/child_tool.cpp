// System tools as child processes: an argument list through QProcess, or an exact command line
// through the platform layer.
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

ToolRun runCommandLine(const QString& commandLine, int timeoutMs, platform::ChildOutput output) {
    const platform::CommandLineRun child =
        platform::runCommandLine(commandLine.toStdString(), timeoutMs, output);
    ToolRun run;
    run.started = child.started;
    run.finished = child.finished;
    if (!run.finished) return run;
    run.exitCode = child.exitCode;
    run.output = QByteArray::fromStdString(child.output);
    return run;
}

}  // namespace pellanor
