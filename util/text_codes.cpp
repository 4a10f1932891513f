// The QR code is encoded by qrcodegen and drawn as one SVG path; Base64 is Qt's, in the URL-safe
// alphabet.
#include "util/text_codes.h"

#include <qrcodegen.hpp>

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <exception>
#include <iterator>
#include <string>
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

void appendNumber(std::string* out, int value) {
    char digits[16];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), value);
    out->append(digits, written.ptr);
}

// The markup is ASCII; it is built as bytes and widened once, because a version-40 code has
// some 15,000 squares and piecewise QString concatenation cost as much as the encoding itself.
QString svgOf(const qrcodegen::QrCode& code) {
    const int modules = code.getSize();
    const int scale = std::max(kTargetSide / (modules + 2 * kQuietZone), kMinimumScale);
    std::string side;
    appendNumber(&side, (modules + 2 * kQuietZone) * scale);
    std::string step;
    appendNumber(&step, scale);

    std::string svg;
    // About 20 characters per square; at most half the modules are dark.
    svg.reserve(512 + static_cast<std::size_t>(modules) * modules * 10);
    svg += "<svg version=\"1.1\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + side +
           "px\" height=\"" + side + "px\" viewBox=\"0 0 " + side + ' ' + side +
           "\" preserveAspectRatio=\"xMinYMin meet\">";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>";
    svg += "<path d=\"";
    for (int row = 0; row < modules; ++row) {
        for (int column = 0; column < modules; ++column) {
            if (!code.getModule(column, row)) continue;
            svg += 'M';
            appendNumber(&svg, (column + kQuietZone) * scale);
            svg += ',';
            appendNumber(&svg, (row + kQuietZone) * scale);
            svg += 'h';
            svg += step;
            svg += 'v';
            svg += step;
            svg += "h-";
            svg += step;
            svg += "z ";
        }
    }
    svg += "\" stroke=\"transparent\" fill=\"black\"/></svg>";
    return QString::fromLatin1(svg.data(), static_cast<int>(svg.size()));
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
