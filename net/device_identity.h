// The client id: a short, stable identifier of this machine for the service, derived from the
// system disk's serial number, the main board's serial number and the first adapter's hardware
// address (or the host name when none can be read). The facts themselves never leave the
// process and are never logged.
#pragma once

#include <QString>

namespace pellanor::net {

struct DeviceFacts {
    QString diskSerial;       // the disk behind drive C:
    QString boardSerial;      // as the management tool reports it
    QString hardwareAddress;  // "00:1A:2B:3C:4D:5E"
};

// Each empty when it cannot be read. Block on device I/O; readBoardSerial on a child process
// for up to 5 s.
QString readDiskSerial();
QString readBoardSerial();
QString readHardwareAddress();

// 16 upper-case hexadecimal digits of the MD5 of "10001_<disk>_<board>_<address>" (or of
// "10001_<hostName>" when all three facts are empty), every 0 written as X. Pure.
QString clientIdFrom(const DeviceFacts& facts, const QString& hostName);

// The `getClientId` script method: computed once per process (the first call blocks while the
// facts are read), then served from memory. Any thread.
QString getClientId();

}  // namespace pellanor::net
