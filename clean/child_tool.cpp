// System tools as child processes: an argument list through QProcess, or an exact command line
// through the platform layer. Either way the tool is started by its full path in the system's
// folders: by its bare name it would be searched for in this program's folder first.
#include "clean/child_tool.h"

#include <QProcess>

#include "platform/system_tools.h"

namespace pellanor {

ToolRun runTool(const QString& program, const QStringList& arguments, int timeoutMs) {
    ToolRun run;
    const QString path = QString::fromStdString(platform::systemToolPath(program.toStdString()));
    if (path.isEmpty()) return run;
    QProcess process;
    process.start(path, arguments);
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
    ToolRun run;
    const std::string line = platform::systemToolCommandLine(commandLine.toStdString());
    if (line.empty()) return run;
    const platform::CommandLineRun child = platform::runCommandLine(line, timeoutMs, output);
    run.started = child.started;
    run.finished = child.finished;
    if (!run.finished) return run;
    run.exitCode = child.exitCode;
    run.output = QByteArray::fromStdString(child.output);
    return run;
}

}  // namespace pellanor
