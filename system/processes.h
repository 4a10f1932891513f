// Which programs run, their process ids, and ending a program by its executable name. Names
// are compared exactly, with case.
#pragma once

#include <QString>
#include <QStringList>

namespace pellanor {

// System and background executables kept out of getProcessNameList (83 names).
const QStringList& excludedProcessNames();

// The `isProcessRunning` script method: whether a process with exactly this executable name
// runs. True as soon as one match is live, however many ended ones are listed beside it;
// processes that cannot be opened count as not running. Blocks briefly on the process snapshot.
bool isProcessRunning(const QString& name);

// The `getProcessIDList` script method: the ids of the live processes with this executable
// name, in decimal, joined with ","; empty when none. Blocks briefly.
QString getProcessIDList(const QString& name);

// The `getProcessNameList` script method: the distinct executable names of the live processes
// that are not in excludedProcessNames, in first-seen order, joined with ",". Blocks briefly.
QString getProcessNameList();

// The `killProcess` script method: ends every process with this executable name, logging each
// step; true when the last attempt succeeded, false when nothing matched. Blocks briefly.
bool killProcess(const QString& name);

}  // namespace pellanor
