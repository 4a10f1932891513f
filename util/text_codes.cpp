#include "util/text_codes.h"

#include <qrcodegen.hpp>

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <vector>

#include "log/logger.h"

namespace pellanor::util {
namespace {

constexpr int kQuietZone = 4;
constexpr int kTargetSide = 240;
constexpr int kMinimumScale = 2;

// encodeText reads a C string and would stop at a zero byte; a text holding U+0000 is given the
// byte segment that encodeText would have chosen for it.
qrcodegen::QrCode encode(const QByteArray& utf8) {
    using qrcodegen::QrCode;
    if (!utf8.contains('\0')) return QrCode::encodeText(utf8.constData(), QrCode::Ecc::MEDIUM);
    const std::vector<std::uint8_t> bytes(utf8.begin(), utf8.end());
    return QrCode::encodeSegments({qrcodegen::QrSegment::makeBytes(bytes)}, QrCode::Ecc::MEDIUM);
}

QString svgOf(const qrcodegen::QrCode& code) {
    const int modules = code.getSize();
    const int scale = std::max(kTargetSide / (modules + 2 * kQuietZone), kMinimumScale);
    const QString side = QString::number((modules + 2 * kQuietZone) * scale);
    const QString step = QString::number(scale);

    QString svg;
    // About 20 characters per square; at most half the modules are dark.
    svg.reserve(512 + modules * modules * 10);
    svg += QStringLiteral(
               "<svg version=\"1.1\" xmlns=\"http://www.w3.org/2000/svg\" width=\"%1px\" "
               "height=\"%1px\" viewBox=\"0 0 %1 %1\" "
               "preserveAspectRatio=\"xMinYMin meet\">")
               .arg(side);
    svg += QStringLiteral("<rect width=\"100%\" height=\"100%\" fill=\"white\"/>");
    svg += QStringLiteral("<path d=\"");
    for (int row = 0; row < modules; ++row) {
        for (int column = 0; column < modules; ++column) {
            if (!code.getModule(column, row)) continue;
            svg += QLatin1Char('M') + QString::number((column + kQuietZone) * scale) +
                   QLatin1Char(',') + QString::number((row + kQuietZone) * scale) +
                   QLatin1Char('h') + step + QLatin1Char('v') + step + QStringLiteral("h-") + step +
                   QStringLiteral("z ");
        }
    }
    svg += QStringLiteral("\" stroke=\"transparent\" fill=\"black\"/></svg>");
    return svg;
}

}  // namespace

QString generateQrSvg(const QString& text) {
    if (text.isEmpty()) return {};
    try {
        return svgOf(encode(text.toUtf8()));
    } catch (const std::exception& e) {  // qrcodegen::data_too_long above all
        logging::info("NativeUtil", "generateQrSvg failed: {}", e.what());
        return {};
    }
}

QString toBase64Str(const QString& text) {
    return QString::fromLatin1(text.toUtf8().toBase64(QByteArray::Base64UrlEncoding));
}

}  // namespace pellanor::util
