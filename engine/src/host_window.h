// HostWindow: the engine's own operations on the window that shows a page (show, move, drag,
// close, ...), which every page has whatever the program registers.
#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

#include "engine/sdk/sciter_api.h"
#include "engine/src/values.h"

namespace engine {

inline constexpr char kHostWindowTarget[] = "$host";

QJsonObject hostWindowPassport();

// False when there is no such operation; a closed window makes every operation a no-op.
bool callHostWindow(SciterWindow window, const QString& operation,
                    const std::vector<Value>& arguments, Value& result);

}  // namespace engine
