// SHA-256 comes from libcrypto: about ten times the throughput of QCryptographicHash on CPUs
// with SHA instructions, with the same digest bytes.
#include "scan/digest.h"

#include <openssl/evp.h>

#include <functional>
#include <memory>
#include <string_view>

#include "platform/file_reader.h"

namespace pellanor::scan {
namespace {

// Small enough that a chunk is still in the core's cache when the hash reads it back: with
// 1 MiB chunks the duplicate search on two cores took 1.7 times as long (measured with
// bench/run.sh's corpus; 64 to 256 KiB all did equally well).
constexpr std::size_t kChunkBytes = 64 * 1024;

struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};

// Fetched once: the implicit fetch behind EVP_sha256() costs a lookup on every init.
const EVP_MD* sha256Algorithm() {
    static EVP_MD* algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return algorithm;
}

// One buffer per hashing thread: allocating it per file would cost fresh pages each time.
char* chunkBuffer() {
    thread_local std::unique_ptr<char[]> buffer(new char[kChunkBytes]);
    return buffer.get();
}

QString toHex(const unsigned char* bytes, unsigned int length) {
    static const char kDigits[] = "0123456789abcdef";
    QString text(static_cast<int>(length) * 2, Qt::Uninitialized);
    for (unsigned int i = 0; i < length; ++i) {
        text[static_cast<int>(2 * i)] = QLatin1Char(kDigits[bytes[i] >> 4]);
        text[static_cast<int>(2 * i + 1)] = QLatin1Char(kDigits[bytes[i] & 0x0f]);
    }
    return text;
}

int hexValue(ushort c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<Sha256Digest> sha256FromText(const QString& text) {
    Sha256Digest digest{};
    if (text.size() != static_cast<int>(2 * digest.size())) return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = hexValue(text.at(static_cast<int>(2 * i)).unicode());
        const int low = hexValue(text.at(static_cast<int>(2 * i + 1)).unicode());
        if (high < 0 || low < 0) return std::nullopt;
        digest[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return digest;
}

QString sha256Text(const Sha256Digest& digest) {
    return toHex(digest.data(), static_cast<unsigned int>(digest.size()));
}

QString sha256OfFile(const QString& path, const std::atomic<bool>* stop, qint64 expectedSize) {
    platform::FileReader file;
    if (!file.open(path.toStdString(), expectedSize)) return {};
    const std::unique_ptr<EVP_MD_CTX, ContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), sha256Algorithm(), nullptr) != 1) return {};
    char* buffer = chunkBuffer();
    for (;;) {
        if (stop != nullptr && *stop) return {};
        const std::int64_t count = file.read(buffer, kChunkBytes);
        if (count < 0) return {};
        if (count == 0) break;
        EVP_DigestUpdate(context.get(), buffer, static_cast<std::size_t>(count));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
    return toHex(digest, length);
}

std::optional<std::uint64_t> fingerprintOfFile(const QString& path) {
    platform::FileReader file;
    if (!file.open(path.toStdString(), kFingerprintBytes)) return std::nullopt;
    char* buffer = chunkBuffer();
    std::size_t filled = 0;
    while (filled < static_cast<std::size_t>(kFingerprintBytes)) {
        const std::int64_t count = file.read(buffer + filled, kFingerprintBytes - filled);
        if (count < 0) return std::nullopt;
        if (count == 0) break;
        filled += static_cast<std::size_t>(count);
    }
    return std::hash<std::string_view>{}(std::string_view(buffer, filled));
}

}  // namespace pellanor::scan
