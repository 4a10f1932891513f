// System tools run as child processes (powercfg.exe, cmd.exe, wmic), with a time limit.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace pellanor {

struct ToolRun {
    bool started = false;
    bool finished = false;  // ended by itself within the time limit
    int exitCode = -1;      // valid when finished
    QByteArray output;      // standard output, when finished
};

// Starts `program` with `arguments`, standard streams connected to this process, and waits at
// most `timeoutMs` (-1: no limit). A child still running then is killed. Blocks.
ToolRun runTool(const QString& program, const QStringList& arguments, int timeoutMs);

// The same for one command line, split into program and arguments by the process library's
// rules (double quotes group words), without a shell. Blocks.
ToolRun runCommandLine(const QString& commandLine, int timeoutMs);

}  // namespace pellanor
