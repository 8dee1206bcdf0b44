// Points HOME and the XDG folders at a fresh temporary folder for the life of the object, so
// nothing a test process does reaches the user's real settings, profiles or runtime files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace velkan::test {

class IsolatedUserFolders {
public:
    IsolatedUserFolders() {
        namespace fs = std::filesystem;
        std::string pattern = (fs::temp_directory_path() / "velkan-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        root_ = pattern;
        for (const char* sub : {"home", "config", "data", "runtime"}) {
            fs::create_directories(root_ / sub);
        }
        fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        setenv("HOME", (root_ / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    }
    ~IsolatedUserFolders() {
        std::error_code ignored;
        if (!root_.empty()) {
            std::filesystem::remove_all(root_, ignored);
        }
    }
    IsolatedUserFolders(const IsolatedUserFolders&) = delete;
    IsolatedUserFolders& operator=(const IsolatedUserFolders&) = delete;

    bool ready() const { return !root_.empty(); }
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

} // namespace velkan::test
