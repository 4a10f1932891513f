// What the duplicate scan's read-ahead answers for files it could not read.
#include "scan/read_ahead.h"

#include <gtest/gtest.h>

#include "scan/digest.h"
#include "scan_test_support.h"

namespace pellanor::scan {
namespace {

using test_support::writeFile;

FileRecord recordOf(const QString& path, qint64 size) {
    FileRecord record;
    record.path = path;
    record.size = size;
    return record;
}

// A file missing while the run is read ahead (locked, or not written yet) and readable when the
// next file of its size arrives must be read again then, not answered from the failed read.
TEST(ReadAhead, AnswersAFailedReadOnlyOnceSoTheNextArrivalReadsTheFileAgain) {
    // Small files go straight to digests; larger ones are fingerprinted first.
    for (const qint64 size : {qint64{100}, 3 * kFingerprintBytes}) {
        SCOPED_TRACE(size);
        QTemporaryDir temp;
        const QByteArray content(static_cast<int>(size), 'r');
        const QString late = temp.path() + "/late";
        writeFile(temp.path() + "/b", content);
        writeFile(temp.path() + "/c", content);
        const std::vector<FileRecord> records = {recordOf(late, size),
                                                 recordOf(temp.path() + "/b", size),
                                                 recordOf(temp.path() + "/c", size)};
        DuplicateFileScanContext context;
        ReadAhead ahead(context, records.data(), records.data() + records.size());
        // Fingerprints are read by now; the digests of one set arrive together.
        const QString twin = sha256OfFile(temp.path() + "/b");
        if (size <= kFingerprintBytes) {
            EXPECT_EQ(ahead.digest(temp.path() + "/b")->digest, twin);
        }
        writeFile(late, content);

        if (size <= kFingerprintBytes) {
            const auto failed = ahead.digest(late);
            ASSERT_TRUE(failed.has_value());
            EXPECT_TRUE(failed->digest.isEmpty());
            EXPECT_FALSE(failed->unique);
            EXPECT_FALSE(ahead.digest(late).has_value());
            EXPECT_EQ(ahead.digest(temp.path() + "/b")->digest, twin);  // a success stays
        } else {
            const auto failed = ahead.fingerprint(late);
            ASSERT_TRUE(failed.has_value());
            EXPECT_FALSE(failed->has_value());
            EXPECT_FALSE(ahead.fingerprint(late).has_value());
            EXPECT_TRUE(ahead.fingerprint(temp.path() + "/b").value().has_value());
            EXPECT_TRUE(ahead.fingerprint(temp.path() + "/b").value().has_value());
        }
    }
}

}  // namespace
}  // namespace pellanor::scan
