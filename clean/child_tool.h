// System tools run as child processes (powercfg.exe, cmd.exe, wmic), with a time limit.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/command_line.h"

namespace pellanor {

struct ToolRun {
    bool started = false;
    bool finished = false;  // ended by itself within the time limit
    int exitCode = -1;      // valid when finished
    QByteArray output;      // standard output, when finished
};

// Starts the system tool `program` (a bare name: "powercfg.exe") from its full path
// (platform::systemToolPath) with `arguments`, standard streams connected to this process, and
// waits at most `timeoutMs` (-1: no limit). A child still running then is killed; a tool that is
// not found is not started. Blocks.
ToolRun runTool(const QString& program, const QStringList& arguments, int timeoutMs);

// The same for one command line that reaches the tool exactly as written, without a shell, its
// first word (the tool's bare name) replaced by the full path (platform::systemToolCommandLine;
// see platform/command_line.h for the stand-in off Windows). `output` says whether standard output
// is read or thrown away. Use it whenever an argument holds double quotes: the argument-list
// start above would quote them again in a way that cmd.exe and wmic do not read. Blocks.
ToolRun runCommandLine(const QString& commandLine, int timeoutMs,
                       platform::ChildOutput output = platform::ChildOutput::Capture);

}  // namespace pellanor
