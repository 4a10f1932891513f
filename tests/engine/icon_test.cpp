// File icons for our pages: a PNG of exactly the asked size from image files (the best picture
// of an .ico), nothing for what is no file, and nothing at all for a page that is not ours.
#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>

#include <sys/stat.h>

#include "tests/engine/engine_fixture.h"

using pellanor::test_support::addStoppingReport;
using pellanor::test_support::EngineFixture;
using pellanor::test_support::page;
using pellanor::test_support::TestObject;
using sciter::value;

namespace {

const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255);

QImage solid(int width, int height, const QColor& colour) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format)) << format;
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// One .ico holding several pictures, as program icons come: Qt writes one picture per file,
// so the single-picture files are joined (6-byte header, 16-byte entries, then the data).
QByteArray multiIcon(const std::vector<QImage>& pictures) {
    std::vector<QByteArray> entries, data;
    for (const QImage& picture : pictures) {
        const QByteArray single = encoded(picture, "ico");
        entries.push_back(single.mid(6, 16));
        const quint32 offset = qFromLittleEndian<quint32>(single.constData() + 18);
        data.push_back(single.mid(offset));
    }
    QByteArray joined;
    QDataStream out(&joined, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(pictures.size());
    quint32 offset = 6 + 16 * pictures.size();
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        out.writeRawData(entries[i].constData(), 8);
        out << quint32(data[i].size()) << offset;
        offset += data[i].size();
    }
    for (const QByteArray& bytes : data) out.writeRawData(bytes.constData(), bytes.size());
    return joined;
}

// JSON in ASCII for a page's script: the test pages declare no character set.
QByteArray asciiJson(const QJsonArray& array) {
    const QString text = QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
    QByteArray ascii;
    for (const QChar c : text) {
        ascii += c.unicode() < 0x80
                     ? QByteArray(1, static_cast<char>(c.unicode()))
                     : "\\u" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
    }
    return ascii;
}

// The engine's debug lines about icons, collected while a test runs.
QStringList& iconLog() {
    static QStringList lines;
    return lines;
}

class EngineIcons : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        EngineFixture::SetUpTestSuite();
        static bool registered = false;
        if (registered) return;
        registered = true;
        auto* probe = new TestObject("IconProbe");
        addStoppingReport(probe, &report());
        ASSERT_TRUE(api->SciterSetGlobalAsset(probe, probe->passport(api)));
    }

    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        iconLog().clear();
        QLoggingCategory::setFilterRules(QStringLiteral("sciter.icons.debug=true"));
        m_previousHandler = qInstallMessageHandler(collectIconLines);
        stopOnRefusal() = false;
    }

    void TearDown() override {
        qInstallMessageHandler(m_previousHandler);
        QLoggingCategory::setFilterRules(QString());
        EngineFixture::TearDown();
    }

    static void collectIconLines(QtMsgType, const QMessageLogContext& context,
                                 const QString& message) {
        if (!context.category || QByteArray(context.category) != "sciter.icons") return;
        iconLog() << message;
        if (stopOnRefusal() && message.contains("refused")) api->SciterExec(kAppStop, 0, 0);
    }

    static bool& stopOnRefusal() {
        static bool stop = false;
        return stop;
    }

    static QString& report() {
        static QString text;
        return text;
    }

    QString file(const QString& name) const { return m_folder.filePath(name); }

    // Loads `url` (serving `pages` under this://app/) in a new main window and returns what
    // the page handed to IconProbe.report, or an empty text when it never did.
    QString reportOf(const std::map<QString, QByteArray>& pages, const QString& url) {
        report().clear();
        const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        servePages(window, pages);
        api->SciterLoadFile(window, url.toStdU16String().c_str());
        EXPECT_EQ(runLoop(window, 20000), 0) << url.toStdString();
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        runLoop(window, 2000);
        return report();
    }

    // Fetches the icon of each {path, size} from a page of ours. Per request: the decoded
    // image, or a null image when the request failed.
    std::vector<QImage> fetchIcons(const QJsonArray& requests) {
        const QByteArray script = "const requests = " + asciiJson(requests) + R"js(;
            const ask = (r) => 'this://app/$engine/icon?path=' + encodeURIComponent(r.path) +
                               ('size' in r ? '&size=' + encodeURIComponent(r.size) : '');
            const base64 = (buffer) => btoa(String.fromCharCode(...new Uint8Array(buffer)));
            // XMLHttpRequest, as the page runtime's calls: fetch() takes no custom schemes.
            const get = (url) => new Promise((resolve) => {
                const request = new XMLHttpRequest();
                request.open('GET', url);
                request.responseType = 'arraybuffer';
                request.onload = () => resolve({type: request.getResponseHeader('content-type'),
                                                png: base64(request.response)});
                request.onerror = () => resolve({failed: true});
                request.send();
            });
            Promise.all(requests.map((r) => get(ask(r))))
                .then((all) => IconProbe.report(JSON.stringify(all)));
        )js";
        const QString text =
            reportOf({{"t/icons.html", page(script)}}, QStringLiteral("this://app/t/icons.html"));
        const QJsonArray answers = QJsonDocument::fromJson(text.toUtf8()).array();
        EXPECT_EQ(answers.size(), requests.size()) << text.toStdString();
        std::vector<QImage> images;
        for (const QJsonValue& answer : answers) {
            const QJsonObject reply = answer.toObject();
            if (reply.value("failed").toBool()) {
                images.emplace_back();
                continue;
            }
            EXPECT_EQ(reply.value("type").toString(), "image/png");
            images.push_back(QImage::fromData(
                QByteArray::fromBase64(reply.value("png").toString().toLatin1()), "PNG"));
            EXPECT_FALSE(images.back().isNull()) << "an answer that is no PNG";
        }
        images.resize(requests.size());
        return images;
    }

    QTemporaryDir m_folder;
    QtMessageHandler m_previousHandler = nullptr;
};

TEST_F(EngineIcons, ImageFilesComeBackAsPngsOfTheAskedSizeWithTheirBestPicture) {
    writeFile(file("wide.png"), encoded(solid(40, 20, kRed), "PNG"));
    writeFile(file("sizes.ico"),
              multiIcon({solid(16, 16, kRed), solid(32, 32, kGreen), solid(48, 48, kBlue)}));
    writeFile(file(QStringLiteral("Ünïcødé 图标 #1&x=2.png")), encoded(solid(8, 8, kGreen), "PNG"));
    QDir(m_folder.path()).mkpath("drive/Program Files/App");
    writeFile(file("drive/Program Files/App/app.png"), encoded(solid(24, 24, kBlue), "PNG"));
    qputenv("PELLANOR_DRIVES", ("Q=" + file("drive")).toUtf8());

    struct Case {
        const char* what;
        QString path;
        QJsonValue size;  // undefined: no size in the request
        int edge;
        QColor centre;
    };
    const std::vector<Case> cases = {
        {"letterboxed, proportions kept", file("wide.png"), 32, 32, kRed},
        {"ico: the exact picture", file("sizes.ico"), 32, 32, kGreen},
        {"ico: the smallest larger picture", file("sizes.ico"), 40, 40, kBlue},
        {"ico: the largest when none covers", file("sizes.ico"), 64, 64, kBlue},
        {"ico: the smallest", file("sizes.ico"), 16, 16, kRed},
        {"size above the range", file("wide.png"), 1000, 256, kRed},
        {"size below the range", file("wide.png"), 2, 16, kRed},
        {"no size", file("wide.png"), QJsonValue::Undefined, 32, kRed},
        {"size that is no number", file("wide.png"), "big", 32, kRed},
        {"a name that needs escaping", file(QStringLiteral("Ünïcødé 图标 #1&x=2.png")), 24, 24,
         kGreen},
        {"a Windows path through the drive map", R"(Q:\Program Files\App\app.png)", 24, 24, kBlue},
    };
    QJsonArray requests;
    for (const Case& test : cases) {
        QJsonObject request{{"path", test.path}};
        if (!test.size.isUndefined()) request.insert("size", test.size);
        requests.append(request);
    }
    const std::vector<QImage> icons = fetchIcons(requests);
    qunsetenv("PELLANOR_DRIVES");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        const QImage& icon = icons[i];
        ASSERT_FALSE(icon.isNull()) << iconLog().join('\n').toStdString();
        EXPECT_EQ(icon.size(), QSize(cases[i].edge, cases[i].edge));
        const QColor centre = icon.pixelColor(icon.width() / 2, icon.height() / 2);
        EXPECT_EQ(centre.rgb(), cases[i].centre.rgb()) << centre.name().toStdString();
    }
    // 40 x 20 in a square: bands above and below stay see-through.
    EXPECT_EQ(icons[0].pixelColor(16, 2).alpha(), 0);
}

TEST_F(EngineIcons, WhatIsNoReadableFileGetsNoIconAndSaysWhy) {
    writeFile(file("broken.png"), {});
    writeFile(file("text.png"), "not a picture");
    // Reading a pipe's header would wait for a writer, with the UI thread.
    ASSERT_EQ(::mkfifo(QFile::encodeName(file("pipe.png")).constData(), 0600), 0);
    struct Case {
        QString path;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {file("missing.png"), "no such file"},
        {m_folder.path(), "a folder"},
        {file("broken.png"), "unreadable image"},
        {file("text.png"), "unreadable image"},
        {file("pipe.png"), "not a regular file"},
        {"relative.png", "not an absolute path"},
        {"", "no path"},
    };
    QJsonArray requests;
    for (const Case& test : cases) requests.append(QJsonObject{{"path", test.path}, {"size", 32}});
    const std::vector<QImage> icons = fetchIcons(requests);
    const QString log = iconLog().join('\n');
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].path.toStdString());
        EXPECT_TRUE(icons[i].isNull());
        EXPECT_TRUE(log.contains(cases[i].reason)) << log.toStdString();
    }
}

TEST_F(EngineIcons, AChangedFileIsNotAnsweredFromTheCache) {
    const QString path = file("changing.png");
    writeFile(path, encoded(solid(32, 32, kRed), "PNG"));
    const QJsonArray request{QJsonObject{{"path", path}, {"size", 32}}};
    const QImage before = fetchIcons(request).at(0);
    writeFile(path, encoded(solid(32, 32, kBlue), "PNG"));
    // A rewrite within the same millisecond would keep the time; an installer's update would not.
    QFile changed(path);
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
    ASSERT_TRUE(changed.setFileTime(QDateTime::currentDateTime().addSecs(10),
                                    QFileDevice::FileModificationTime));
    changed.close();
    const QImage after = fetchIcons(request).at(0);
    ASSERT_FALSE(before.isNull());
    ASSERT_FALSE(after.isNull());
    EXPECT_EQ(before.pixelColor(16, 16).rgb(), kRed.rgb());
    EXPECT_EQ(after.pixelColor(16, 16).rgb(), kBlue.rgb());
}

TEST_F(EngineIcons, AFilePageIsRefusedEvenForAnImageThatExists) {
    const QString png = file("shown.png");
    writeFile(png, encoded(solid(32, 32, kRed), "PNG"));
    const QByteArray icon = "this://app/$engine/icon?size=32&path=" + QUrl::toPercentEncoding(png);
    // A file page reaches no native object to report to; the engine's refusal ends the loop,
    // and an answered request would leave it to the watchdog.
    const QString pagePath = file("probe.html");
    writeFile(pagePath, page("new Image().src = '" + icon + "';"));
    stopOnRefusal() = true;
    const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
    api->SciterLoadFile(window, QUrl::fromLocalFile(pagePath).toString().toStdU16String().c_str());
    EXPECT_EQ(runLoop(window, 20000), 0);
    api->SciterPostMessage(window, kMessageClose, 0, 0);
    runLoop(window, 2000);
    const QString log = iconLog().join('\n');
    EXPECT_TRUE(log.contains("refused")) << log.toStdString();
    EXPECT_TRUE(log.contains("file://")) << log.toStdString();
}

}  // namespace
