// %NAME% expansion of the Windows-shaped paths that the junk, scan and start-up modules build.
#pragma once

#include <QString>

namespace pellanor {

// Expands %NAME% references with the system's expansion into a buffer of 1,040 UTF-16 units.
// Returns `text` unchanged if the expansion fails or its result would not fit. Does not block.
QString expandEnvironmentPath(const QString& text);

}  // namespace pellanor
