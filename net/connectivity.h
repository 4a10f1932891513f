// The checks made before a request leaves: whether the address is this machine, whether the
// system reports an internet connection, whether the server accepts a TCP connection at all.
#pragma once

#include <QUrl>

namespace pellanor::net {

// True when the URL's host, fully decoded and lower-cased, is "localhost", "127.0.0.1" or
// "::1", or is a loopback address. Pure.
bool isLocalUrl(const QUrl& url);

// The system's own verdict (the Network List Manager on Windows). Blocks briefly.
bool isInternetConnected();

// True when a TCP connection to the URL's host and port (443 for https and 80 for http when it
// names none) is made within `timeoutMs`; it is closed at once. A scheme other than http and
// https counts as reachable, an empty host as unreachable. Blocks the calling thread for up to
// `timeoutMs`.
bool isServerReachable(const QUrl& url, int timeoutMs);

}  // namespace pellanor::net
