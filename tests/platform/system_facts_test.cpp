// The disk table from captured text and the drive names, against both backends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drives.h"
#include "platform/physical_disks.h"

namespace pellanor::platform {

// Found by argument-dependent lookup, so beside PhysicalDisk rather than in the unnamed namespace.
bool operator==(const PhysicalDisk& a, const PhysicalDisk& b) {
    return a.model == b.model && a.serialNumber == b.serialNumber && a.sizeBytes == b.sizeBytes;
}

void PrintTo(const PhysicalDisk& disk, std::ostream* out) {
    *out << "{" << disk.model << " | " << disk.serialNumber << " | " << disk.sizeBytes << "}";
}

namespace {

struct TableCase {
    const char* what;
    std::string text;
    std::vector<PhysicalDisk> disks;
};

// Rows as the tool prints them to a pipe: columns padded to the longest value plus two blanks,
// every line ended by "\r\r\n".
const std::vector<TableCase> kTables = {
    {"two disks",
     "Model                          SerialNumber          Size           \r\r\n"
     "Samsung SSD 860 EVO 500GB      S3Z9NB0K123456X       500105249280   \r\r\n"
     "WDC WD10EZEX-08WN4A0           WD-WCC6Y0ABCDEF       1000202273280  \r\r\n"
     "\r\r\n",
     {{"Samsung SSD 860 EVO 500GB", "S3Z9NB0K123456X", 500105249280.0},
      {"WDC WD10EZEX-08WN4A0", "WD-WCC6Y0ABCDEF", 1000202273280.0}}},
    {"a disk without a serial number keeps its size in the size column",
     "Model                 SerialNumber      Size         \r\n"
     "Generic Card Reader                     31914983424  \r\n"
     "KINGSTON SA400        50026B7784A1B2C   240054796800 \r\n",
     {{"Generic Card Reader", "", 31914983424.0},
      {"KINGSTON SA400", "50026B7784A1B2C", 240054796800.0}}},
    {"a model with single blanks and a padded serial number, and blank lines anywhere",
     "\n\n  \nModel          SerialNumber  Size  \n\n"
     "ST1000 LM 048    WFA1B2C3    1000\n   \n",
     {{"ST1000 LM 048", "WFA1B2C3", 1000.0}}},
    {"offsets count characters, not bytes",
     "Model           SerialNumber  Size  \n"
     "Dïsk Ünïcode    ÄB12          42    \n",
     {{"Dïsk Ünïcode", "ÄB12", 42.0}}},
    {"a size that is no count of bytes is 0; a row shorter than its columns leaves them empty",
     "Model   SerialNumber  Size\n"
     "Virt    V1            n/a \n"
     "Nan     V2            nan \n"
     "Neg     V3            -512\n"
     "Short\n",
     {{"Virt", "V1", 0.0}, {"Nan", "V2", 0.0}, {"Neg", "V3", 0.0}, {"Short", "", 0.0}}},
    {"columns in another order",
     "SerialNumber  Size   Model\r\n"
     "ABC           512    Tiny Disk\r\n",
     {{"Tiny Disk", "ABC", 512.0}}},
    {"header only", "Model  SerialNumber  Size  \r\r\n\r\r\n", {}},
    {"an error instead of a table", "Node - PC\r\nERROR:\r\nDescription = Invalid class \r\n", {}},
    {"a header that lacks a column", "Model        \r\nWine Disk Drive  \r\n", {}},
};

TEST(DiskDriveTable, ReadsEachColumnAtTheHeadersOffsets) {
    for (const TableCase& table : kTables) {
        SCOPED_TRACE(table.what);
        EXPECT_EQ(parseDiskDriveTable(table.text), table.disks);
    }
}

TEST(DriveLetter, AcceptsOnlyALetterWithAnOptionalColonAndSeparator) {
    const std::vector<std::pair<std::string, char>> named = {
        {"e", 'E'}, {"E:", 'E'}, {"e:\\", 'E'}, {"Z:/", 'Z'}, {"c", 'C'}};
    for (const auto& [text, letter] : named) EXPECT_EQ(driveLetterOf(text), letter) << text;
    for (const std::string text : {"", ":", "EF", "E:x", "E:\\x", "1:", "\\\\.\\E:", "\xC3\x89:"}) {
        EXPECT_EQ(driveLetterOf(text), std::nullopt) << text;
        EXPECT_FALSE(isRemovableDrive(text)) << text;
    }
}

}  // namespace
}  // namespace pellanor::platform
