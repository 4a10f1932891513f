// Renders one text as QR-code SVG the way the page scripts get it, writing the markup to
// standard output (or only its size with --size). Built and timed by util_qr_svg.sh.
#include <cstdio>
#include <cstring>

#include <QByteArray>
#include <QString>

#include "util/text_codes.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: util_qr_svg [--size] TEXT\n");
        return 2;
    }
    const bool sizeOnly = argc > 2 && std::strcmp(argv[1], "--size") == 0;
    const QString svg = pellanor::util::generateQrSvg(QString::fromUtf8(argv[argc - 1]));
    if (sizeOnly) {
        std::printf("%d\n", svg.size());
    } else {
        const QByteArray utf8 = svg.toUtf8();
        std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stdout);
    }
    return svg.isEmpty() ? 1 : 0;
}
