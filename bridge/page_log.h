// The pages' way into the daily log.
#pragma once

#include <QString>

namespace pellanor::bridge {

// Writes "[<tag>]: \t<message>" to Qt's debug output and "[<tag right-aligned in 12>] <message>"
// to the log file at info level; always 0. The narrower tag column tells page lines from native
// ones, whose tags take 24.
int log(const QString& message, const QString& tag);

}  // namespace pellanor::bridge
