#include "scan/folder_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "../platform/scoped_environment.h"

namespace pellanor::scan {
namespace {

TEST(ParseFolderList, TrimsCommaPartsAndKeepsTheEmptyOnes) {
    EXPECT_EQ(parseFolderList(" C:\\A, C:\\B ,"), (QStringList{"C:\\A", "C:\\B", ""}));
    EXPECT_EQ(parseFolderList(""), QStringList{""});
}

TEST(ParseFolderList, TakesJsonArrayElementsAsTheyAre) {
    EXPECT_EQ(parseFolderList(R"([" C:\\A ", "x,y", 7, null])"),
              (QStringList{" C:\\A ", "x,y", "", ""}));
    // A JSON object is not a list: it is split at its commas like any other text.
    EXPECT_EQ(parseFolderList(R"({"a": 1, "b": 2})").size(), 2);
}

TEST(MinSizeFromScriptNumber, NarrowsToFloatThenTruncates) {
    EXPECT_EQ(minSizeFromScriptNumber(0), 0);
    EXPECT_EQ(minSizeFromScriptNumber(-5.9), -5);
    EXPECT_EQ(minSizeFromScriptNumber(10.99), 10);
    // 16777217 has no single-precision form; it becomes 16777216.
    EXPECT_EQ(minSizeFromScriptNumber(16777217.0), 16777216);
}

TEST(MinSizeFromScriptNumber, GivesDefinedAnswersOutsideTheRange) {
    EXPECT_EQ(minSizeFromScriptNumber(std::nan("")), 0);
    EXPECT_EQ(minSizeFromScriptNumber(1e30), std::numeric_limits<qint64>::max());
    EXPECT_EQ(minSizeFromScriptNumber(-1e30), std::numeric_limits<qint64>::min());
    EXPECT_EQ(minSizeFromScriptNumber(std::numeric_limits<double>::infinity()),
              std::numeric_limits<qint64>::max());
}

TEST(ScanRoot, ExpandsReferencesMapsBackslashesAndCleans) {
    QTemporaryDir temp;
    ASSERT_TRUE(QDir().mkpath(temp.path() + "/Downloads/inner"));
    test_support::ScopedEnvironment environment;
    environment.set("USERPROFILE", temp.path().toStdString());

    EXPECT_EQ(scanRoot("%USERPROFILE%\\Downloads"), temp.path() + "/Downloads");
    EXPECT_EQ(scanRoot(temp.path() + "/Downloads/inner/../"), temp.path() + "/Downloads");
    EXPECT_EQ(scanRoot(temp.path() + "/missing"), QString());
    EXPECT_EQ(scanRoot(""), QString());
}

}  // namespace
}  // namespace pellanor::scan
