// The pre-checks of every service request. A local server is usable offline, so the loopback
// test comes before the system's connectivity verdict.
#include "net/connectivity.h"

#include <QHostAddress>
#include <QTcpSocket>

#include "platform/network.h"

namespace pellanor::net {

bool isLocalUrl(const QUrl& url) {
    const QString host = url.host(QUrl::FullyDecoded).toLower();
    if (host == QLatin1String("localhost") || host == QLatin1String("127.0.0.1") ||
        host == QLatin1String("::1")) {
        return true;
    }
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

bool isInternetConnected() { return platform::isConnectedToInternet(); }

bool isServerReachable(const QUrl& url, int timeoutMs) {
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return true;
    if (url.host().isEmpty()) return false;
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    QTcpSocket socket;
    socket.connectToHost(url.host(), static_cast<quint16>(port));
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.abort();
    return true;
}

}  // namespace pellanor::net
