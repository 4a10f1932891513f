// Lets log messages take Qt strings as arguments; they are written as UTF-8.
#pragma once

#include <fmt/format.h>

#include <QByteArray>
#include <QString>

template <>
struct fmt::formatter<QString> : fmt::formatter<fmt::string_view> {
    template <typename FormatContext>
    auto format(const QString& text, FormatContext& ctx) const -> decltype(ctx.out()) {
        const QByteArray utf8 = text.toUtf8();
        return fmt::formatter<fmt::string_view>::format(
            fmt::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())), ctx);
    }
};
