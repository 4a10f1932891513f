// Script objects as pages see them: the runtime injected into each page (global objects, the
// window's own object and HostWindow) and the answer to a page's call.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrlQuery>

#include "engine/sdk/sciter_api.h"
#include "engine/src/host.h"

namespace engine {

// The runtime source for a page of `window` with its own object `windowAsset` (may be empty).
QString runtimeScript(SciterWindow window, const Asset& windowAsset);

// Runs one call from the runtime (query w, d, o, m, k, a) and returns the JSON answer:
// {"v": result} or {"x": message} when the call could not be made.
QByteArray answerCall(const QUrlQuery& query);

}  // namespace engine
