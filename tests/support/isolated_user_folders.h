// Points HOME and the XDG folders at a fresh temporary folder for the life of the object, so
// nothing a test process does reaches the user's real settings, profiles or runtime files.
// Windows keeps its per-user folders and registry apart from the environment: there the Wine
// prefix of the test run is what is fresh.
#pragma once

#include "support/test_environment.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace velkan::test {

class IsolatedUserFolders {
public:
    IsolatedUserFolders() {
        namespace fs = std::filesystem;
        std::error_code error;
        const auto root = makeTemporaryFolder(fs::temp_directory_path(error), "velkan-test");
        if (!root) {
            return;
        }
        root_ = *root;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::replace);
        for (const char* sub : {"home", "config", "data", "runtime"}) {
            fs::create_directories(root_ / sub);
        }
        fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        setEnvironment("HOME", (root_ / "home").string());
        setEnvironment("XDG_CONFIG_HOME", (root_ / "config").string());
        setEnvironment("XDG_DATA_HOME", (root_ / "data").string());
        setEnvironment("XDG_RUNTIME_DIR", (root_ / "runtime").string());
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
