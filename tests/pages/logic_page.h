// Runs one of the logic pages of tests/pages/main in our engine. The page's own scripts are read
// from the source tree as checked in; the page itself, its case runner (logic_cases.js) and the
// packed common scripts are served from a test archive, at the places the program gives them.
// The page hands its cases to Probe.report as one JSON object of name -> '' or what went wrong.
#pragma once

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/engine/engine_fixture.h"

namespace pellanor::test_support {

class LogicPage : public EngineFixture {
protected:
    static void SetUpTestSuite() {
        EngineFixture::SetUpTestSuite();
        static const std::u16string folder = QString(PELLANOR_PAGES).toStdU16String();
        api->SciterSetOption(0, kOptionPagesFolder,
                             reinterpret_cast<std::uintptr_t>(folder.data()));
    }

    // Loads t/<name> and answers its report; an empty object when it never reported.
    QJsonObject runLogicPage(const QString& name) {
        std::map<QString, QByteArray> items;
        const QString tests = QString(PELLANOR_PAGE_TESTS);
        for (const QString& file : {name, QStringLiteral("logic_cases.js")}) {
            QFile source(tests + "/" + file);
            EXPECT_TRUE(source.open(QIODevice::ReadOnly)) << file.toStdString();
            items["t/" + file] = source.readAll();
        }
        // The packed scripts and language tables, where the program serves them from its archive.
        const QString packed = QString(PELLANOR_PAGES) + "/packed/common";
        for (const QString& folder : {QStringLiteral("js"), QStringLiteral("langs")}) {
            for (const QFileInfo& info : QDir(packed + "/" + folder).entryInfoList(QDir::Files)) {
                QFile source(info.filePath());
                if (source.open(QIODevice::ReadOnly)) {
                    items["common/" + folder + "/" + info.fileName()] = source.readAll();
                }
            }
        }
        auto* probe = new TestObject("Probe");  // the engine keeps it: never freed
        addStoppingReport(probe, &m_report);
        api->SciterSetGlobalAsset(probe, probe->passport(api));
        const SciterWindow window = api->SciterCreateWindow(kWindowMain, nullptr, 0);
        servePages(window, items);
        api->SciterLoadFile(window, (u"this://app/t/" + name.toStdU16String()).c_str());
        EXPECT_EQ(runLoop(window), 0) << "the logic page did not report";
        api->SciterPostMessage(window, kMessageClose, 0, 0);
        runLoop(window, 2000);
        return QJsonDocument::fromJson(m_report.toUtf8()).object();
    }

private:
    QString m_report;
};

}  // namespace pellanor::test_support
