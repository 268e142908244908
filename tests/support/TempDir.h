#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace logvane::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "logvane-test-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) m_path = made;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Points HOME and XDG_CONFIG_HOME at a temporary folder for the life of the object, so that
// nothing a test does reaches the real user's folders.
class ScopedHome {
public:
    ScopedHome() : m_oldHome(Get("HOME")), m_oldConfig(Get("XDG_CONFIG_HOME")) {
        setenv("HOME", m_dir.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir.path() / ".config").c_str(), 1);
    }
    ~ScopedHome() {
        Restore("HOME", m_oldHome);
        Restore("XDG_CONFIG_HOME", m_oldConfig);
    }
    const std::filesystem::path& path() const { return m_dir.path(); }

private:
    static std::pair<bool, std::string> Get(const char* name) {
        const char* v = std::getenv(name);
        return {v != nullptr, v ? v : ""};
    }
    static void Restore(const char* name, const std::pair<bool, std::string>& old) {
        if (old.first) setenv(name, old.second.c_str(), 1);
        else unsetenv(name);
    }
    TempDir m_dir;
    std::pair<bool, std::string> m_oldHome, m_oldConfig;
};

}  // namespace logvane::test
