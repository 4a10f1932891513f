// QR-code SVG and URL-safe Base64 for the page scripts. Pure text work on the calling thread.
#pragma once

#include <QString>

namespace pellanor::util {

// The text (UTF-8, error correction medium, the smallest version that fits) as SVG markup: a
// 4-module quiet zone, (240 / (modules + 8)) pixels per module but at least 2, a white
// background and one black path of squares. "" for an empty text, and "" with a "NativeUtil"
// log line when the text does not fit any version.
QString generateQrSvg(const QString& text);

// The UTF-8 of the text in the URL- and file-name-safe Base64 alphabet, padding kept.
QString toBase64Str(const QString& text);

}  // namespace pellanor::util
