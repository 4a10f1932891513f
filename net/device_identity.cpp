// The device identifier. The digest hides the facts from the service; the 0-to-X rule keeps
// the id unmistakable when read aloud or typed from a screenshot.
#include "net/device_identity.h"

#include <QCryptographicHash>
#include <QSysInfo>

#include <mutex>

#include "log/logger.h"
#include "log/qt_format.h"
#include "platform/drives.h"
#include "platform/network.h"
#include "platform/physical_disks.h"
#include "product/product.h"

namespace pellanor::net {
namespace {

constexpr int kBoardSerialTimeoutMs = 5000;
constexpr int kClientIdLength = 16;

}  // namespace

QString readDiskSerial() { return QString::fromStdString(platform::driveDiskSerial("C:")); }

QString readBoardSerial() {
    return QString::fromStdString(platform::boardSerialNumber(kBoardSerialTimeoutMs));
}

QString readHardwareAddress() { return QString::fromStdString(platform::firstAdapterAddress()); }

QString clientIdFrom(const DeviceFacts& facts, const QString& hostName) {
    const QString application = QString::number(product::kId);
    const bool anyFact = !facts.diskSerial.isEmpty() || !facts.boardSerial.isEmpty() ||
                         !facts.hardwareAddress.isEmpty();
    const QString source =
        anyFact ? QStringLiteral("%1_%2_%3_%4")
                      .arg(application, facts.diskSerial, facts.boardSerial, facts.hardwareAddress)
                : QStringLiteral("%1_%2").arg(application, hostName);
    const QByteArray digest = QCryptographicHash::hash(source.toUtf8(), QCryptographicHash::Md5);
    return QString::fromLatin1(digest.toHex().toUpper().left(kClientIdLength))
        .replace(QLatin1Char('0'), QLatin1Char('X'));
}

QString getClientId() {
    static std::once_flag computed;
    static QString clientId;
    std::call_once(computed, [] {
        const DeviceFacts facts{readDiskSerial(), readBoardSerial(), readHardwareAddress()};
        clientId = clientIdFrom(facts, QSysInfo::machineHostName());
        logging::info("NativeUtil", "client id {} from disk: {}, board: {}, adapter: {}", clientId,
                      !facts.diskSerial.isEmpty(), !facts.boardSerial.isEmpty(),
                      !facts.hardwareAddress.isEmpty());
    });
    return clientId;
}

}  // namespace pellanor::net
