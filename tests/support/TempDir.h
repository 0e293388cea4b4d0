#pragma once

#include <filesystem>
#include <string>

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    // Under `base` instead, e.g. MemoryTempBase() for tests that flush a great many files.
    explicit TempDir(const std::filesystem::path& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& child) const {
        return m_path / child;
    }

private:
    std::filesystem::path m_path;
};

// A folder on a memory file system when there is one (flushes cost nothing there), else the
// system temp folder.
std::filesystem::path MemoryTempBase();

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
// The UTF-8 literal in code page 932, for building expected card texts.
std::string Sjis(const std::string& utf8);
// Whether the process can bypass file permissions (root), which makes read-only tests moot.
bool RunningAsRoot();
