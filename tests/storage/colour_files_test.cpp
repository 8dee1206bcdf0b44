#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "protocol/link_fixture.h"
#include "storage/colour_files.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace velkan::storage {
namespace {

namespace fs = std::filesystem;
using model::colourRef;
using namespace std::literals;

std::vector<std::uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// Each test gets its own data folder (not yet created) under the test process's data home.
struct ColourFilesTest : protocol::test::LinkFixture {
    fs::path folder = fs::path(std::getenv("XDG_DATA_HOME")) /
                      testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::path templateFile = folder.string() + ".userd";
    ColourFiles files{folder, templateFile};
    // Odd on purpose: a copy that re-encodes or re-parses would change it.
    std::vector<std::uint8_t> templateBytes = bytesOf("\xff\xfe[\0M\0\n\0\0\0\xff no end"sv);

    void SetUp() override {
        ASSERT_TRUE(platform::writeFileAtomically(templateFile, templateBytes));
    }
    void writePage(int page, std::string_view text) {
        fs::create_directories(folder);
        ASSERT_TRUE(platform::writeFileAtomically(files.userColourPath(page), bytesOf(text)));
    }
    std::optional<std::vector<std::uint8_t>> pageBytes(int page) const {
        return platform::readWholeFile(files.userColourPath(page));
    }
};

TEST_F(ColourFilesTest, KeyColourEntriesReadLenientlyWithDefaultsAndClamping) {
    const std::pair<const char*, KeyColour> cases[] = {
        {"0,128,255,7", {colourRef(0, 128, 255), true}},
        {nullptr, {colourRef(255, 0, 0), true}}, // no entry
        {" 4 , 5 ,6\t, 0 ", {colourRef(4, 5, 6), false}},
        {"300,-5,40,1,9", {colourRef(255, 0, 40), true}},
        {"1,2", {colourRef(1, 2, 0), true}},
        {"x,7,,z", {colourRef(255, 7, 0), true}},
        {"+7,0x10,3e2,-1", {colourRef(7, 0, 0), true}},
        {"99999999999999999999999,0,0,00", {colourRef(255, 0, 0), false}},
        {"--1,2-,3,", {colourRef(255, 0, 3), true}},
    };
    std::string text = "[Mode2]\r\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        text += cases[i].first ? std::to_string(i) + "=" + cases[i].first + "\r\n" : "";
    }
    writePage(0, text);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const KeyColour read = files.readKeyColour(0, 2, static_cast<int>(i));
        EXPECT_EQ(std::pair(read.colour, read.on),
                  std::pair(cases[i].second.colour, cases[i].second.on))
            << (cases[i].first ? cases[i].first : "(none)");
    }
}

TEST_F(ColourFilesTest, ModeSettingsAndPerKeyViewSwitchRoundTrip) {
    EXPECT_EQ(std::tuple(files.readPresentMode(1), files.readModeName(1, 4),
                         files.readPerKeyViewSwitch()),
              std::tuple(0, "0", false));
    fs::create_directories(folder);
    const std::string names[] = {"Dusk", "  padded  ", "\"quoted\"", "Äpfel \xe6\x9c\x88"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        files.writeModeName(1, static_cast<int>(i), names[i]);
    }
    files.writePresentMode(1, 4);
    files.writeModeTools(1, 4, {true, colourRef(1, 2, 3), colourRef(250, 128, 0)});
    files.writeKeyColour(1, 4, 110, {colourRef(9, 8, 7), false});
    files.writePerKeyViewSwitch(true);

    for (std::size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(files.readModeName(1, static_cast<int>(i)), names[i]);
    }
    const ModeTools tools = files.readModeTools(1, 4);
    const KeyColour logo = files.readKeyColour(1, 4, 110);
    EXPECT_EQ(std::tuple(files.readPresentMode(1), tools.tool, tools.toolColour, tools.colour),
              std::tuple(4, true, colourRef(1, 2, 3), colourRef(250, 128, 0)));
    EXPECT_EQ(std::pair(logo.colour, logo.on), std::pair(colourRef(9, 8, 7), false));
    EXPECT_TRUE(files.readPerKeyViewSwitch());
    files.writePerKeyViewSwitch(false);
    EXPECT_FALSE(files.readPerKeyViewSwitch());
    // Pages that do not exist are never written.
    files.writePresentMode(3, 1);
    files.writeKeyColour(-1, 0, 0, {});
    EXPECT_FALSE(fs::exists(files.userColourPath(3)) || fs::exists(files.userColourPath(-1)));
    EXPECT_FALSE(files.resetUserColours(3));
}

TEST_F(ColourFilesTest, HostileModeValuesFallBackToTheirDefaults) {
    writePage(2, "[PRESENTMODE]\nmode=-3\n[Mode0]\ntool=yes\njcolor=1,2\ncolor=junk\n"
                 "[Mode1]\ntool=-2\njcolor=256,256,256,256\ncolor=,,9\n");
    const ModeTools zero = files.readModeTools(2, 0);
    const ModeTools one = files.readModeTools(2, 1);
    EXPECT_EQ(files.readPresentMode(2), 0);
    EXPECT_EQ(std::tuple(zero.tool, zero.toolColour, zero.colour),
              std::tuple(false, colourRef(1, 2, 0), colourRef(0, 0, 0)));
    EXPECT_EQ(std::tuple(one.tool, one.toolColour, one.colour),
              std::tuple(true, colourRef(255, 255, 255), colourRef(0, 0, 9)));
}

TEST_F(ColourFilesTest, FirstRunAndResetCopyTheTemplateByteForByte) {
    ASSERT_TRUE(files.ensureFolder());
    for (int page = 0; page < 3; ++page) {
        EXPECT_EQ(pageBytes(page), templateBytes) << page;
    }
    // A user's colours are kept; only a page whose file is gone gets the template again.
    files.writeKeyColour(0, 0, 5, {});
    const auto changed = pageBytes(0);
    fs::remove(files.userColourPath(1));
    ASSERT_TRUE(files.ensureFolder());
    EXPECT_EQ(pageBytes(0), changed);
    EXPECT_EQ(pageBytes(1), templateBytes);

    EXPECT_TRUE(files.resetUserColours(1) && files.resetUserColours(0));
    EXPECT_EQ(pageBytes(1), templateBytes);
    EXPECT_EQ(pageBytes(0), templateBytes);
}

TEST_F(ColourFilesTest, ShippedTemplateNamesItsModesAndColoursEveryPosition) {
    const ColourFiles program = ColourFiles::forProgram();
    ASSERT_TRUE(program.ensureFolder() && program.resetUserColours(0));
    const auto bytes = platform::readWholeFile(program.userColourPath(0));
    ASSERT_TRUE(bytes && bytes->size() > 2);
    // UTF-16LE with its mark, as the desktop writes its INI files.
    EXPECT_EQ(bytes->at(0) | bytes->at(1) << 8, 0xFEFF);
    EXPECT_NE(program.readModeName(0, program.readPresentMode(0)), "0");
    for (int mode = 0; program.readModeName(0, mode) != "0"; ++mode) {
        for (int position = 0; position <= model::kExtraKeyColourPosition; ++position) {
            EXPECT_NE(platform::getPrivateProfileString("Mode" + std::to_string(mode),
                                                        std::to_string(position), "",
                                                        program.userColourPath(0)),
                      "")
                << mode << " " << position;
        }
    }
}

TEST_F(ColourFilesTest, LoadUserModeSendsThePresentModesColoursToItsPage) {
    connect();
    writePage(1, "[PRESENTMODE]\r\nmode=2\r\n[Mode2]\r\ntool=1\r\ncolor=1,2,3\r\n"
                 "64=10,20,30,1\r\n110=40,50,60,0\r\n125=70,80,90,1\r\n"
                 "[Mode0]\r\n0=1,1,1,1\r\n");
    model::Lighting lighting;

    const ModeTools tools = files.loadUserMode(1, lighting, link);

    EXPECT_EQ(std::tuple(tools.tool, tools.colour, lighting.currentPage()),
              std::tuple(true, colourRef(1, 2, 3), 1));
    const auto frames = sentFrames();
    EXPECT_EQ(
        std::count_if(frames.begin(), frames.end(), [](const auto& f) { return f[3] == 0x11; }), 8);
    const auto memory = keyboard->memory(sim::SimRegion::keyColours);
    const auto at = [&](int position) {
        const auto i = static_cast<std::size_t>(512 + position * 3);
        return colourRef(memory[i], memory[i + 1], memory[i + 2]);
    };
    // A (64), logo (110), extra keys (125), Esc (0) with no entry, and 13, which no key uses.
    EXPECT_EQ(at(64), colourRef(10, 20, 30));
    EXPECT_EQ(at(110), colourRef(40, 50, 60));
    EXPECT_EQ(at(125), colourRef(70, 80, 90));
    EXPECT_EQ(at(0), colourRef(255, 0, 0));
    EXPECT_EQ(at(13), colourRef(0, 0, 0));
}

} // namespace
} // namespace velkan::storage
