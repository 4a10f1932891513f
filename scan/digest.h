// Content digests of files: SHA-256 for results, a cheap fingerprint of the first bytes to rule
// out most same-size files before reading them whole.
#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace pellanor::scan {

// Files up to this size are read whole by the fingerprint anyway, so they skip it.
inline constexpr qint64 kFingerprintBytes = 4 * 1024;

// The 32 bytes of a SHA-256, kept as such where many are held: the text takes five times more.
// Ordered as their texts are.
using Sha256Digest = std::array<unsigned char, 32>;

// nullopt unless `text` is 64 hexadecimal characters. Does not block.
std::optional<Sha256Digest> sha256FromText(const QString& text);

// 64 lower-case hexadecimal characters. Does not block.
QString sha256Text(const Sha256Digest& digest);

// 64 lower-case hexadecimal characters of the SHA-256 of the file's bytes, read through one
// 256 KiB buffer. Empty when the file cannot be opened, a read fails (a cancelled read included)
// or `stop` turns true on the way. Blocks; safe on any thread.
QString sha256OfFile(const QString& path, const std::atomic<bool>* stop = nullptr,
                     qint64 expectedSize = -1);

// A 64-bit fingerprint of the first kFingerprintBytes; nullopt when they cannot be read. Equal
// files have equal fingerprints. Blocks; safe on any thread.
std::optional<std::uint64_t> fingerprintOfFile(const QString& path);

}  // namespace pellanor::scan
