// %NAME% expansion into buffers of a caller's size, for texts whose Windows readers expand
// them into buffers other than the 1,040 units of expandEnvironmentPath.
#pragma once

#include <QString>

#include <optional>

namespace pellanor::system {

// `text` with every defined %NAME% reference replaced, by the system's rules: an undefined
// name keeps its first '%' and the scan resumes right after it. nullopt when the result is
// longer than `maxLength` UTF-16 units. A single variable whose value exceeds the system
// expansion's own buffer counts as undefined. Does not block.
std::optional<QString> expandEnvironmentWithin(const QString& text, int maxLength);

// The host path a Windows-shaped path maps to (platform::localPath). Does not block.
QString hostPath(const QString& windowsPath);

}  // namespace pellanor::system
