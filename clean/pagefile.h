// The paging file of drive C: its size and its move to another fixed drive, both through the
// system management tool "wmic".
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace pellanor {

// Runs one command line without a shell and returns its standard output, or nullopt when the
// tool did not finish within `timeoutMs` (it is then killed) or never started.
using CommandRunner =
    std::function<std::optional<QByteArray>(const QString& commandLine, int timeoutMs)>;

// The runner the methods use by default: the command line reaches wmic exactly as written
// (its where-clauses need their double quotes), standard output captured.
std::optional<QByteArray> runToolCommandLine(const QString& commandLine, int timeoutMs);

// Size in MiB of "C:\...pagefile.sys" in the output of "wmic pagefile get
// Name,AllocatedBaseSize" (local 8-bit text); 0 when no row names it.
int parsePagefileSizeMb(const QByteArray& output);

// The page-file size of drive C in MiB: from the file itself, else from wmic; 0 when unknown.
// Blocks for up to 5 seconds.
int pagefileSizeMb(const CommandRunner& run = runToolCommandLine);

// The `getPagefileSize` script method: pagefileSizeMb in bytes, as decimal text ("0" when
// unknown). Blocks for up to 5 seconds.
QString getPagefileSize(const CommandRunner& run = runToolCommandLine);

// The `migratePagefile` script method: turns automatic page-file management off, deletes the
// page file of drive C and creates one of the same size (8192 MiB when unknown) on `drive`, a
// fixed drive other than C given as a letter with or without colon. False for a refused drive
// (no command is run then), a tool that does not finish in 5 seconds, or an output containing
// "error" in any case; steps already done are not undone. Blocks for up to 20 seconds.
bool migratePagefile(const QString& drive, const CommandRunner& run = runToolCommandLine);

}  // namespace pellanor
