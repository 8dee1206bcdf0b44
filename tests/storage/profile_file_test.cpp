#include "platform/atomic_file.h"
#include "platform/little_endian.h"
#include "protocol/link_fixture.h"
#include "storage/profile_file.h"
#include "support/recording_prompts.h"

#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace velkan::storage {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using model::AssignmentType;
using platform::loadLe32;
using platform::storeLe16;
using platform::storeLe32;

// Inside the test process's own HOME, which the test main removes.
fs::path freshFolder() {
    static int counter = 0;
    const fs::path folder = fs::path(std::getenv("HOME")) / std::to_string(counter++);
    fs::create_directories(folder);
    return folder;
}

Bytes readBytes(const fs::path& path) {
    return platform::readWholeFile(path).value_or(Bytes{});
}

void setText(model::KeyModel& model, std::size_t record, AssignmentType type, std::u16string text) {
    model.image.records[record].type = static_cast<std::uint16_t>(type);
    model.strings.entries[record] = std::move(text);
}

// Changes one header field and corrects the checksum, so only that field is wrong.
void patch(Bytes& bytes, std::size_t at, std::uint16_t value) {
    storeLe16(bytes, at, value);
    bytes[31] = static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.begin() + 31, 0));
}

model::KeyModel richModel() {
    model::KeyModel model;
    newProfileInMemory(model);
    setText(model, 3, AssignmentType::startProgram, u"/usr/bin/gimp");
    setText(model, 512 + 40, AssignmentType::textBlock, u"Hello \u00e9\u4e16");
    model.image.records[1024 + 7] = {4, 3, 2, 9, 0};
    for (const char* name : {"second", "first"}) {
        model::MacroRecord& macro = model.macros.emplace_back();
        macro.setName(name);
        macro.id = static_cast<std::uint16_t>(3 - model.macros.size());
        macro.repeatMode = 2;
        macro.actionCount = 2;
        macro.actions[0] = {1230, 0x1E, 0};
        macro.actions[1] = {0, 0x1E, 1};
    }
    return model;
}

TEST(ProfileFileTest, FreshFileHasTheExactLayout) {
    const fs::path file = freshFolder() / "new.fwc";
    ASSERT_TRUE(newProfileFile(file));
    const Bytes bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 32832u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 32),
              (Bytes{0x46, 0x44, 0x20, 0, 3, 0, 1, 0, 0x40, 0x80, 0, 0, 0, 8, 0, 0,
                     0,    0,    0,    0, 0, 0, 0, 0, 0,    0,    0, 0, 0, 0, 0, 0x76}));
    const std::uint32_t block[8] = {0x0020484B, 0x00008020, 0x02000004, 0,
                                    0x50040C45, 0x000E1C4F, 0,          0};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(loadLe32(bytes, 32 + 4 * i), block[i]) << i;
    }
    for (std::size_t record = 0; record < model::kRecordCount; ++record) {
        const std::size_t tag = record < 256 || record >= 274 ? 0
                                : record < 265                ? 0x0301 + record - 256
                                                              : 0x1301 + record - 265;
        EXPECT_EQ(platform::loadLe16(bytes, 64 + 16 * record + 2), tag) << record;
    }
    model::KeyModel model = richModel();
    newProfileInMemory(model); // the same image, and no macros or texts left
    EXPECT_EQ(serializeProfile(model), bytes);
    EXPECT_TRUE(model.macros.empty() && model.strings.totalBytes() == 0);
}

TEST(ProfileFileTest, CheckAcceptsOnlyWholeHeaders) {
    struct Case {
        const char* name;
        std::function<void(Bytes&)> change;
        ProfileCheck result;
    };
    // 0x8040 + 101 * 0x7F00 = 0x329B40; 100 macros: 0x321C40.
    const std::vector<Case> cases = {
        {"fresh", [](Bytes&) {}, ProfileCheck::valid},
        {"checksum off by one", [](Bytes& b) { ++b[31]; }, ProfileCheck::wrongHeader},
        {"101 macros", [](Bytes& b) { patch(b, 8, 0x9B40), patch(b, 10, 0x32), patch(b, 14, 101); },
         ProfileCheck::wrongHeader},
        {"100 macros, short body",
         [](Bytes& b) { patch(b, 8, 0x1C40), patch(b, 10, 0x32), patch(b, 14, 100); },
         ProfileCheck::valid},
        {"flag 1", [](Bytes& b) { patch(b, 30, 1); }, ProfileCheck::valid},
        {"flag 2", [](Bytes& b) { patch(b, 30, 2); }, ProfileCheck::wrongHeader},
        {"magic", [](Bytes& b) { patch(b, 0, 0x4447); }, ProfileCheck::wrongHeader},
        {"header size", [](Bytes& b) { patch(b, 2, 33); }, ProfileCheck::wrongHeader},
        {"format", [](Bytes& b) { patch(b, 6, 2); }, ProfileCheck::wrongHeader},
        {"record count", [](Bytes& b) { patch(b, 12, 2047); }, ProfileCheck::wrongHeader},
        {"total disagrees", [](Bytes& b) { patch(b, 8, 0x8042); }, ProfileCheck::wrongHeader},
    };
    const fs::path folder = freshFolder();
    for (const Case& c : cases) {
        const fs::path file = folder / c.name;
        Bytes bytes = serializeProfile(model::KeyModel{});
        c.change(bytes);
        ASSERT_TRUE(platform::writeFileAtomically(file, bytes));
        EXPECT_EQ(checkProfileFile(file), c.result) << c.name;
    }
    // Missing, a folder, one byte short, and a (sparse) file beyond what a header describes.
    EXPECT_EQ(checkProfileFile(folder / "missing"), ProfileCheck::invalid);
    EXPECT_EQ(checkProfileFile(folder), ProfileCheck::unreadable);
    fs::resize_file(folder / "magic", 32831);
    EXPECT_EQ(checkProfileFile(folder / "magic"), ProfileCheck::invalid);
    fs::resize_file(folder / "fresh", (std::uintmax_t{1} << 32) + 1);
    EXPECT_EQ(checkProfileFile(folder / "fresh"), ProfileCheck::invalid);
}

TEST(ProfileFileTest, TextsGoToTheBlobInRecordOrder) {
    model::KeyModel model;
    newProfileInMemory(model);
    setText(model, 9, AssignmentType::startProgram, u"bc");
    setText(model, 5, AssignmentType::startProgram, u"a");
    setText(model, 7, AssignmentType::textBlock, u"");
    const Bytes bytes = serializeProfile(model);
    ASSERT_EQ(bytes.size(), 32842u);
    EXPECT_TRUE(profileHeaderValid(bytes));
    EXPECT_EQ(loadLe32(bytes, 16), 10u);
    EXPECT_EQ(Bytes(bytes.end() - 10, bytes.end()), (Bytes{0x61, 0, 0, 0, 0x62, 0, 0x63, 0, 0, 0}));
    EXPECT_EQ(loadLe32(bytes, 64 + 16 * 5 + 4), 0u);
    EXPECT_EQ(loadLe32(bytes, 64 + 16 * 9 + 4), 4u);
    EXPECT_EQ(model.image.records[9].value, 0); // the caller's model keeps its values
}

TEST(ProfileFileTest, SavedModelLoadsBackTheSame) {
    model::KeyConfiguration configuration;
    configuration.edited = richModel();
    const fs::path file = freshFolder() / "round.fwc";
    ASSERT_TRUE(saveProfileFile(file, configuration, true));
    ASSERT_EQ(checkProfileFile(file), ProfileCheck::valid);
    model::KeyModel loaded;
    loaded.macroDeleted = true;
    ASSERT_TRUE(loadProfileFile(file, loaded));
    EXPECT_EQ(serializeProfile(loaded), readBytes(file));
    EXPECT_EQ(loaded.strings.entries, configuration.edited.strings.entries);
    ASSERT_EQ(loaded.macros.size(), 2u);
    EXPECT_EQ(std::memcmp(loaded.macros.data(), configuration.edited.macros.data(),
                          2 * sizeof(model::MacroRecord)),
              0);
    EXPECT_TRUE(loaded.macroDeleted);
}

TEST(ProfileFileTest, InconsistentFilesNeverReplaceTheModel) {
    model::KeyModel source;
    newProfileInMemory(source);
    setText(source, 3, AssignmentType::textBlock, u"xy");
    const Bytes good = serializeProfile(source); // blob: 78 00 79 00 00 00
    constexpr std::size_t kValue = 64 + 16 * 3 + 4;
    struct Case {
        const char* name;
        std::function<void(Bytes&)> change;
        std::optional<std::u16string> text; // nullopt: refused
    };
    const std::vector<Case> cases = {
        {"odd offset rounds down", [](Bytes& b) { storeLe32(b, kValue, 3); }, u"y"},
        {"macro missing", [](Bytes& b) { storeLe16(b, 14, 1); }, std::nullopt},
        {"blob short", [](Bytes& b) { b.pop_back(); }, std::nullopt},
        {"offset past blob", [](Bytes& b) { storeLe32(b, kValue, 6); }, std::nullopt},
        {"negative offset", [](Bytes& b) { storeLe32(b, kValue, 0xFFFFFFFE); }, std::nullopt},
        {"no terminator", [](Bytes& b) { b.back() = 'z'; }, std::nullopt},
        {"101 macros", [](Bytes& b) { storeLe16(b, 14, 101), b.resize(4000000); }, std::nullopt},
        // Record 4 shares the text: together they claim more than the blob holds.
        {"shared text", [](Bytes& b) { storeLe16(b, kValue + 12, 6); }, std::nullopt},
    };
    const model::KeyModel before = richModel();
    for (const Case& c : cases) {
        Bytes bytes = good;
        c.change(bytes);
        const fs::path file = freshFolder() / "file";
        ASSERT_TRUE(platform::writeFileAtomically(file, bytes));
        model::KeyModel target = before;
        EXPECT_EQ(loadProfileFile(file, target), c.text.has_value()) << c.name;
        EXPECT_EQ(target.strings.entries[3], c.text.value_or(before.strings.entries[3])) << c.name;
        EXPECT_EQ(serializeProfile(target) == serializeProfile(before), !c.text) << c.name;
    }
}

TEST(ProfileFileTest, FailedWritesLeaveTheOldFile) {
    const fs::path folder = freshFolder();
    const fs::path file = folder / "old.fwc";
    ASSERT_TRUE(newProfileFile(file));
    const Bytes old = readBytes(file);
    model::KeyConfiguration configuration;
    configuration.edited = richModel();
#ifndef _WIN32
    // Writes beyond 40000 bytes fail, as on a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{40000, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_FALSE(saveProfileFile(file, configuration, true));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
#endif

    EXPECT_FALSE(newProfileFile(file / "child.fwc"));
    EXPECT_FALSE(saveProfileFile(file / "child.fwc", configuration, false));
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1); // no temporary left
}

TEST(ProfileFileTest, WorkingFileIsSavedOnlyWhenItExists) {
    const fs::path working = workingFilePath();
#ifdef _WIN32
    ASSERT_EQ(working, fs::path(std::getenv("APPDATA")) / "Halvory" / "$Profile0");
#else
    ASSERT_EQ(working, fs::path(std::getenv("XDG_DATA_HOME")) / "Halvory" / "$Profile0");
#endif
    fs::remove_all(working.parent_path());
    model::KeyConfiguration configuration;
    configuration.edited = richModel();
    EXPECT_FALSE(saveWorkingFile(configuration, true));
    EXPECT_FALSE(fs::exists(working.parent_path()));
    fs::create_directories(working.parent_path());
    EXPECT_FALSE(saveWorkingFile(configuration, true));
    EXPECT_FALSE(fs::exists(working));
    ASSERT_TRUE(newProfileFile(working));
    EXPECT_TRUE(saveWorkingFile(configuration, false));
    EXPECT_EQ(readBytes(working), serializeProfile(configuration.edited));
    fs::remove_all(working.parent_path());
}

struct BackupTest : protocol::test::LinkFixture {
    void SetUp() override {
        connect();
        mirrors.readDefaultKeyTable();
        keyboard->clearWireLog();
        ASSERT_TRUE(newProfileFile(file));
    }
    std::ptrdiff_t macroReads() const {
        const auto frames = sentFrames();
        return std::count_if(frames.begin(), frames.end(),
                             [](const Bytes& f) { return f[3] == 9; });
    }
    protocol::DeviceMirrors mirrors{link};
    test::TableTexts texts;
    fs::path file = freshFolder() / "backup";
};

TEST_F(BackupTest, KeyboardConfigurationBecomesAFile) {
    // Bank 1: the simulated keyboard's factory cell 1 (B) types A; one macro in the memory.
    const auto keyA = model::keyCodeFromUsage({7, 0x04});
    const auto keyB = model::keyIndexFromCode(model::keyCodeFromUsage({7, 0x05}));
    ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::keyTables, 378 + 3, Bytes{2, 2, 4}));
    model::MacroList macros(1);
    macros[0].setName("ab");
    macros[0].actionCount = 1;
    macros[0].actions[0] = {1230, keyA, 0};
    const auto image =
        model::buildMacroMemory(macros, model::macroMemorySizes(macros).fullSize, true);
    ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::macros, 0, image));

    ASSERT_TRUE(backupKeyboardToFile(file, link, mirrors, texts));
    EXPECT_EQ(macroReads(), 2);
    EXPECT_TRUE(profileHeaderValid(readBytes(file)));
    model::KeyModel loaded;
    ASSERT_TRUE(loadProfileFile(file, loaded));
    EXPECT_EQ(loaded.image.record(1, keyB).type, 2);
    EXPECT_EQ(loaded.image.record(1, keyB).value, keyA);
    EXPECT_EQ(loaded.image.record(0, keyB).type, 0);
    ASSERT_EQ(loaded.macros.size(), 1u);
    EXPECT_EQ(loaded.macros[0].nameUtf8(), "ab");
    EXPECT_EQ(loaded.macros[0].actions[0].delay, 1230u);

    // Without the magic: no macros, and no second read.
    ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::macros, 0, Bytes(16, 0)));
    keyboard->clearWireLog();
    ASSERT_TRUE(backupKeyboardToFile(file, link, mirrors, texts));
    EXPECT_EQ(macroReads(), 1);
    EXPECT_EQ(readBytes(file).size(), 32832u);
}

// The file has a bank for each of the keyboard's three profiles and for a fourth; whichever of
// them the keyboard reports as active, the backup reads every bank.
TEST_F(BackupTest, AnyProfileTheFileHoldsMayBeTheActiveOne) {
    // Bank 2: the factory cell 1 (B) types A.
    const auto keyA = model::keyCodeFromUsage({7, 0x04});
    const auto keyB = model::keyIndexFromCode(model::keyCodeFromUsage({7, 0x05}));
    ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::keyTables, 2 * 378 + 3, Bytes{2, 2, 4}));
    const Bytes old = readBytes(file);
    const std::pair<std::uint8_t, bool> cases[] = {{0, true}, {1, true},  {2, true},
                                                   {3, true}, {4, false}, {0xFF, false}};
    for (const auto& [active, written] : cases) {
        SCOPED_TRACE(static_cast<int>(active));
        ASSERT_TRUE(platform::writeFileAtomically(file, old));
        ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::deviceInfo, 10, Bytes{active}));
        link.activeProfileCache = -1;
        EXPECT_EQ(backupKeyboardToFile(file, link, mirrors, texts), written);
        model::KeyModel loaded;
        ASSERT_TRUE(loadProfileFile(file, loaded));
        EXPECT_EQ(loaded.image.record(2, keyB).value, written ? keyA : 0);
        if (!written) {
            EXPECT_EQ(readBytes(file), old);
        }
    }
}

// A keyboard holding as many macros as a file can: the file passes the check and loads whole.
TEST_F(BackupTest, KeyboardWithAHundredMacrosMakesAFileThatLoads) {
    model::MacroList macros(100);
    for (std::size_t slot = 0; slot < macros.size(); ++slot) {
        macros[slot].setName("m" + std::to_string(slot + 1));
        macros[slot].actionCount = 1;
        macros[slot].actions[0] = {static_cast<std::uint32_t>(10 * slot),
                                   model::keyCodeFromUsage({7, 0x04}), 0};
    }
    const auto image =
        model::buildMacroMemory(macros, model::macroMemorySizes(macros).fullSize, true);
    ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::macros, 0, image));

    ASSERT_TRUE(backupKeyboardToFile(file, link, mirrors, texts));
    EXPECT_EQ(checkProfileFile(file), ProfileCheck::valid);
    model::KeyModel loaded;
    ASSERT_TRUE(loadProfileFile(file, loaded));
    ASSERT_EQ(loaded.macros.size(), 100u);
    EXPECT_EQ(loaded.macros.back().nameUtf8(), "m100");
    EXPECT_EQ(loaded.macros.back().actions[0].delay, 990u);
}

TEST_F(BackupTest, FailuresLeaveTheTargetAlone) {
    const Bytes old = readBytes(file);
    ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::deviceInfo, 10, Bytes{7}));
    EXPECT_FALSE(backupKeyboardToFile(file, link, mirrors, texts));
    keyboard->setMemory(sim::SimRegion::deviceInfo, 10, Bytes{0});
    link.activeProfileCache = -1;
    keyboard->clearWireLog();
    ASSERT_TRUE(backupKeyboardToFile(freshFolder() / "count", link, mirrors, texts));
    const auto frames = static_cast<unsigned>(sentFrames().size());
    // Unplugged at every frame of the backup in turn.
    for (unsigned k = 1; k <= frames; ++k) {
        simBackend.unplug(keyboard);
        connect();
        link.activeProfileCache = -1;
        keyboard->setFaults({.removeAfterFrames = k});
        EXPECT_FALSE(backupKeyboardToFile(file, link, mirrors, texts)) << k;
        EXPECT_EQ(readBytes(file), old) << k;
    }
}

} // namespace
} // namespace velkan::storage
