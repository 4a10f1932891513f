// Sequential reading of whole files for digests, in a way a cancel can cut short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace pellanor::platform {

// A file opened read-only for one front-to-back pass. Other programs may keep writing, renaming
// or deleting it meanwhile. Reads are not retried after an interruption (see blocking_io.h), so
// a cancelled read shows as a failure.
class FileReader final {
public:
    FileReader();
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Opens `path` (UTF-8), closing any file opened before. False if it cannot be opened or is
    // not a regular file (a folder, pipe or device).
    // `expectedSize`, when known, spares small files the read-ahead hint. Blocks.
    bool open(const std::string& path, std::int64_t expectedSize = -1);

    // Reads up to `capacity` bytes into `buffer`. Returns the count read, 0 at the end of the
    // file, -1 on failure or when nothing is open. Blocks.
    std::int64_t read(char* buffer, std::size_t capacity);

private:
    struct Native;
    std::unique_ptr<Native> m_native;
};

}  // namespace pellanor::platform
