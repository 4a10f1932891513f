// A temporary folder for deleting tests: the tree under test in "tree", and a sentinel folder
// beside it, never inside it, holding "keep.txt".
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pellanor::test_support {

namespace fs = std::filesystem;

class Workspace {
public:
    Workspace() {
        std::random_device device;
        m_root = fs::temp_directory_path() / ("pellanor-tree-" + std::to_string(device()));
        fs::create_directories(m_root / "tree");
        write("sentinel/keep.txt", 4);
    }
    ~Workspace() {
        std::error_code ignored;
        fs::permissions(m_root, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_root, ignored);
    }
    fs::path path(const std::string& relative) const { return m_root / fs::u8path(relative); }
    std::string text(const std::string& relative) const { return path(relative).u8string(); }
    void write(const std::string& relative, std::size_t bytes) const {
        fs::create_directories(path(relative).parent_path());
        std::ofstream(path(relative), std::ios::binary) << std::string(bytes, 'x');
    }
    bool exists(const std::string& relative) const {
        std::error_code ignored;
        return fs::symlink_status(path(relative), ignored).type() != fs::file_type::not_found;
    }

private:
    fs::path m_root;
};

// Hidden by the system's own rule: on POSIX the name's leading dot, which the caller gives; on
// Windows the attribute, set here.
inline void makeHidden(const fs::path& path) {
#ifdef _WIN32
    SetFileAttributesW(path.c_str(), GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_HIDDEN);
#else
    (void)path;
#endif
}

}  // namespace pellanor::test_support
