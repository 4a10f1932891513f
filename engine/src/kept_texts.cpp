#include "engine/src/kept_texts.h"

#include <QHash>
#include <QRandomGenerator>

#include <mutex>
#include <unordered_map>

namespace engine::kept_texts {

namespace {

// Kept on the caller's thread, taken on the UI thread.
std::mutex s_mutex;
std::unordered_map<QString, QByteArray> s_texts;
std::size_t s_bytes = 0;

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

QString newToken() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex());
}

bool worthKeeping(const std::u16string& text) {
    if (text.size() < kKeptTextMinChars) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHigh(c)) {
            if (i + 1 == text.size() || !isLow(text[i + 1])) return false;
            ++i;
        } else if (isLow(c)) {
            return false;
        }
    }
    return true;
}

QString keep(const std::u16string& text) {
    // Converted outside the lock and on the caller's thread, so the UI thread only hands the
    // bytes over.
    QByteArray utf8 = QString::fromRawData(reinterpret_cast<const QChar*>(text.data()),
                                           static_cast<int>(text.size()))
                          .toUtf8();
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_bytes + static_cast<std::size_t>(utf8.size()) > kKeptTextsMaxBytes) return {};
    QString id = newToken();
    while (s_texts.count(id)) id = newToken();
    s_bytes += static_cast<std::size_t>(utf8.size());
    s_texts.emplace(id, std::move(utf8));
    return id;
}

std::optional<QByteArray> take(const QString& id) {
    std::lock_guard<std::mutex> lock(s_mutex);
    const auto it = s_texts.find(id);
    if (it == s_texts.end()) return {};
    QByteArray text = std::move(it->second);
    s_bytes -= static_cast<std::size_t>(text.size());
    s_texts.erase(it);
    return text;
}

void drop(const std::vector<QString>& ids) {
    std::lock_guard<std::mutex> lock(s_mutex);
    for (const QString& id : ids) {
        const auto it = s_texts.find(id);
        if (it == s_texts.end()) continue;
        s_bytes -= static_cast<std::size_t>(it->second.size());
        s_texts.erase(it);
    }
}

}  // namespace engine::kept_texts
