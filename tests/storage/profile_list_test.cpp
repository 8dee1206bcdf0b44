#include "platform/settings_store.h"
#include "storage/profile_file.h"
#include "storage/profile_list.h"
#include "support/recording_prompts.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace velkan::storage {
namespace {

namespace fs = std::filesystem;

fs::path testFolder() {
    return fs::path(std::getenv("XDG_DATA_HOME")) /
           testing::UnitTest::GetInstance()->current_test_info()->name();
}

TEST(ProfileRowTest, RowsShowNameAndFolderAndAreStoredAsProfileFiles) {
    const struct {
        fs::path file;
        ProfileRow row;
        fs::path stored;
    } cases[] = {
        {"/a/b.c/profile.v2.fwc", {"profile.v2", "/a/b.c"}, "/a/b.c/profile.v2.fwc"},
        {"/data/Halvory/$Profile0", {"$Profile0", "/data/Halvory"}, "/data/Halvory/$Profile0.fwc"},
        {"/a/copy.bin", {"copy", "/a"}, "/a/copy.fwc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileRow::ofFile(c.file), c.row) << c.file;
        EXPECT_EQ(c.row.storedPath(), c.stored) << c.file;
    }
}

// The stored list is text anyone can edit; damage must never make the menu huge or shift rows.
TEST(ProfileMenuTest, ListsStoredRowsAndSurvivesDamagedEntries) {
    const struct {
        const char* count;
        std::vector<const char*> paths; // nullptr: entry missing
        std::vector<ProfileMenuEntry> rows;
    } cases[] = {
        {"", {}, {}},
        {"two", {"/p/a.fwc"}, {}},
        {"-3", {"/p/a.fwc"}, {}},
        {"100000", {}, {}},
        {"2", {"/p/a.fwc", "/p/b.fwc", "/p/c.fwc"}, {{0, "a", true}, {1, "b", true}}},
        {"5",
         {"/p/a.fwc", nullptr, "/p/c.fwc", "/p/d.fwc", "/p/e.fwc"},
         {{0, "a", true}, {2, "c", true}, {3, "d", false}, {4, "e", false}}},
    };
    velkan::test::TableTexts texts;
    for (const auto& c : cases) {
        platform::SettingsStore store(testFolder() / (std::string("store") + c.count));
        AppProfile profile(store);
        profile.writeString(kProfileListSection, "PROFILE00", c.count);
        for (std::size_t i = 0; i < c.paths.size(); ++i) {
            if (c.paths[i]) {
                profile.writeString(kProfileListSection, profileListEntry(static_cast<int>(i) + 1),
                                    c.paths[i]);
            }
        }
        std::vector<ProfileMenuEntry> expected = {{std::nullopt, "<DEFAULT_PROFILE_NAME>", false}};
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        EXPECT_EQ(profileMenuEntries(profile, texts), expected) << c.count;
    }
}

TEST(ProfileFilesTest, AddAndLoadOfferProfileFilesInTheDataFolder) {
    velkan::test::TableTexts texts;
    const lang::FileDialogRequest add = newProfileRequest(texts);
    const lang::FileDialogRequest load = existingProfileRequest();
    EXPECT_TRUE(add.save && add.confirmOverwrite);
    EXPECT_FALSE(load.save);
    EXPECT_EQ(add.initialName, "<PROFILE_NEW>");
    EXPECT_EQ(load.initialName, "*.fwc");
    for (const auto* request : {&add, &load}) {
        EXPECT_EQ(request->defaultExtension, "fwc");
        EXPECT_EQ(request->filter, "(*.fwc)|*.fwc|(*.*)|*.*||");
        EXPECT_EQ(request->folder, appDataFolderPath());
    }
    // Add made the folder it offers.
    EXPECT_TRUE(fs::is_directory(*appDataFolderPath()));

    EXPECT_EQ(addNewProfile(testFolder() / "no such folder" / "x.fwc"), std::nullopt);
    const fs::path named = *appDataFolderPath() / "mine.fwc";
    EXPECT_EQ(addNewProfile(named), (ProfileRow{"mine", *appDataFolderPath()}));
    EXPECT_EQ(checkProfileFile(named), ProfileCheck::valid);
}

} // namespace
} // namespace velkan::storage
