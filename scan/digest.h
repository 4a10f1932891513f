// Content digests of files: SHA-256 for results, a cheap fingerprint of the first bytes to rule
// out most same-size files before reading them whole.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>

namespace pellanor::scan {

// Files up to this size are read whole by the fingerprint anyway, so they skip it.
inline constexpr qint64 kFingerprintBytes = 4 * 1024;

// 64 lower-case hexadecimal characters of the SHA-256 of the file's bytes, read through one
// 256 KiB buffer. Empty when the file cannot be opened, a read fails (a cancelled read included)
// or `stop` turns true on the way. Blocks; safe on any thread.
QString sha256OfFile(const QString& path, const std::atomic<bool>* stop = nullptr,
                     qint64 expectedSize = -1);

// A 64-bit fingerprint of the first kFingerprintBytes; nullopt when they cannot be read. Equal
// files have equal fingerprints. Blocks; safe on any thread.
std::optional<std::uint64_t> fingerprintOfFile(const QString& path);

}  // namespace pellanor::scan
