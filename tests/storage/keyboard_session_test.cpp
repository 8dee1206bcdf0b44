#include "device/recording_client.h"
#include "platform/atomic_file.h"
#include "protocol/command_report.h"
#include "protocol/link_fixture.h"
#include "storage/keyboard_session.h"
#include "storage/profile_file.h"
#include "support/recording_prompts.h"
#include "support/test_environment.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <span>

namespace velkan::storage {
namespace {

namespace command = protocol::command;
using Commands = std::vector<std::uint8_t>;

class RecordingView : public SessionView {
public:
    std::vector<int> profilesShown;
    int keyModelChanges = 0;
    int lightingChanges = 0;
    void showProfile(int profile) override { profilesShown.push_back(profile); }
    void keyModelChanged() override { ++keyModelChanges; }
    void lightingChanged() override { ++lightingChanges; }
};

Commands repeated(std::uint8_t command, int times) {
    return Commands(static_cast<std::size_t>(times), command);
}

Commands operator+(Commands first, const Commands& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const Commands kPlainLightingReadBack = {command::kReadDeviceInfo, command::kBeginConfig,
                                         command::kReadParams,     command::kReadParams,
                                         command::kReadParams,     command::kEndConfig};

Commands perKeyPage() {
    return Commands{command::kBeginConfig} + repeated(command::kWriteKeyColours, 8) +
           Commands{command::kEndConfig};
}

class KeyboardSessionTest : public protocol::test::LinkFixture {
protected:
    void start(sim::KeyboardModel model) {
        connect(model);
        colourFiles.ensureFolder();
        mirrors.readArrivalMirrors(client);
        link.activeProfileCache = -1;
        keyboard->clearWireLog();
    }

    Commands commandsSent() const {
        Commands commands;
        for (const auto& frame : sentFrames()) {
            commands.push_back(frame[protocol::kCommandOffset]);
        }
        return commands;
    }

    int tableFrames() const { return link.tableBytes == 512 ? 10 : 7; }

    const std::filesystem::path workingFile =
        std::filesystem::temp_directory_path() /
        ("velkan-session-" + std::to_string(velkan::test::currentProcessId())) / "$Profile0";
    protocol::DeviceMirrors mirrors{link};
    device::test::RecordingClient client;
    model::KeyConfiguration configuration;
    model::Lighting lighting;
    ColourFiles colourFiles = ColourFiles::forProgram();
    velkan::test::TableTexts texts;
    RecordingView view;
    KeyboardSession session{
        {link, mirrors, configuration, lighting, colourFiles, texts, view, workingFile}};

    void SetUp() override { std::filesystem::create_directories(workingFile.parent_path()); }
    void TearDown() override { std::filesystem::remove_all(workingFile.parent_path()); }
};

TEST_F(KeyboardSessionTest, ArrivalReadsEverythingBackInOrder) {
    for (auto model : {sim::KeyboardModel::keys126, sim::KeyboardModel::keys128}) {
        start(model);
        std::array<std::uint8_t, 1> profileOne = {1};
        keyboard->setMemory(sim::SimRegion::deviceInfo, 10, profileOne);
        session.readBackAfterArrival();

        const Commands expected = Commands{command::kReadDeviceInfo} +
                                  repeated(command::kReadKeyTable, 3 * tableFrames()) +
                                  Commands{command::kReadMacroArea, command::kReadMacroArea} +
                                  Commands{command::kReadDeviceInfo, command::kBeginConfig} +
                                  perKeyPage() +
                                  Commands{command::kReadParams, command::kReadParams,
                                           command::kReadParams, command::kEndConfig};
        EXPECT_EQ(commandsSent(), expected);
        EXPECT_EQ(session.currentPage(), 1);
        EXPECT_EQ(view.profilesShown.back(), 1);
        EXPECT_EQ(lighting.currentPage(), 1);
        EXPECT_TRUE(std::filesystem::exists(workingFile));
        ASSERT_TRUE(simBackend.unplug(keyboard));
    }
}

// What the keyboard lights after arrival, after a profile button and after choosing per-key
// colours is the page's user-colour file in its present mode, byte for byte: the keys the file
// names in their colours, every other key red, whether or not the per-key view ever showed it.
TEST_F(KeyboardSessionTest, PagesSentAreTheColoursOfTheirFiles) {
    using Rgb = std::array<std::uint8_t, 3>;
    const int firstKey = model::ColourPositionList().front();
    const int lastKey = model::ColourPositionList().back();
    const auto named = [&](int page) {
        const auto tag = [page](int n) { return static_cast<std::uint8_t>(20 * page + n); };
        return std::map<int, Rgb>{
            {firstKey, {tag(1), 64, 200}},
            {lastKey, {0, tag(2), 9}},
            {model::kExtraKeyColourPosition, {7, 8, tag(3)}},
            {model::kLogoColourPosition, {tag(4), 0, 255}},
        };
    };
    std::vector<int> positions(model::ColourPositionList().begin(),
                               model::ColourPositionList().end());
    positions.insert(positions.end(), {model::kExtraKeyColourPosition, model::kLogoColourPosition});

    for (auto keyboardModel : {sim::KeyboardModel::keys126, sim::KeyboardModel::keys128}) {
        for (const int active : {0, 2}) {
            SCOPED_TRACE("page " + std::to_string(active));
            start(keyboardModel);
            for (int page = 0; page < model::kProfileCount; ++page) {
                std::ofstream out(colourFiles.userColourPath(page), std::ios::trunc);
                // Mode 0 is not the present one: none of its colours may reach the keyboard.
                out << "[PRESENTMODE]\nmode=2\n[Mode0]\n" << firstKey << "=1,1,1,1\n[Mode2]\n";
                for (const auto& [position, rgb] : named(page)) {
                    out << position << '=' << int(rgb[0]) << ',' << int(rgb[1]) << ','
                        << int(rgb[2]) << ",1\n";
                }
            }
            const Rgb activeByte = {static_cast<std::uint8_t>(active)};
            ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::deviceInfo, 10,
                                            std::span(activeByte).first(1)));
            const auto expectLit = [&](int page) {
                const auto colours = keyboard->memory(sim::SimRegion::keyColours);
                const auto expected = named(page);
                for (const int position : positions) {
                    const auto at = static_cast<std::size_t>(512 * page + 3 * position);
                    const Rgb lit = {colours[at], colours[at + 1], colours[at + 2]};
                    const auto found = expected.find(position);
                    const Rgb wanted = found != expected.end() ? found->second : Rgb{255, 0, 0};
                    EXPECT_EQ(lit, wanted) << "page " << page << " position " << position;
                }
            };
            session.readBackAfterArrival();
            expectLit(active);

            const int other = (active + 1) % model::kProfileCount;
            session.switchToProfile(other);
            expectLit(other);
            const std::vector<std::uint8_t> dark(512 * model::kProfileCount, 0);
            ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::keyColours, 0, dark));
            lighting.chooseMode(link, model::kPerKeyColourMode);
            expectLit(other);
            ASSERT_TRUE(simBackend.unplug(keyboard));
        }
    }
}

TEST_F(KeyboardSessionTest, ArrivalBringsKeyboardChangesIntoTheModel) {
    start(sim::KeyboardModel::keys126);
    // The keyboard's bank 0 has the A key disabled.
    const auto factory = keyboard->memory(sim::SimRegion::defaultKeyTable);
    const model::KeyCode aKey = 0x01E;
    int position = -1;
    for (int i = 0; i < 126; ++i) {
        if (model::keyCodeFromEntry({factory[3 * static_cast<std::size_t>(i)],
                                     factory[3 * static_cast<std::size_t>(i) + 1],
                                     factory[3 * static_cast<std::size_t>(i) + 2]}) == aKey) {
            position = i;
        }
    }
    ASSERT_GE(position, 0);
    const std::array<std::uint8_t, 3> disabled{};
    keyboard->setMemory(sim::SimRegion::keyTables, static_cast<std::size_t>(position) * 3,
                        disabled);
    session.readBackAfterArrival();
    EXPECT_EQ(configuration.edited.image.record(0, model::keyIndexFromCode(aKey)).type,
              static_cast<std::uint16_t>(model::AssignmentType::disabled));
    EXPECT_GE(view.keyModelChanges, 1);
}

// Pulled out at any frame of the read-back: nothing hangs, and the working file is either the
// old one or a whole new one.
TEST_F(KeyboardSessionTest, UnplugAtEachFrameOfArrivalLeavesAWholeWorkingFile) {
    start(sim::KeyboardModel::keys126);
    session.readBackAfterArrival();
    const auto before = platform::readWholeFile(workingFile);
    ASSERT_TRUE(before);
    const int frames = static_cast<int>(sentFrames().size());
    ASSERT_TRUE(simBackend.unplug(keyboard));

    for (int pulledAt = 1; pulledAt <= frames; ++pulledAt) {
        start(sim::KeyboardModel::keys126);
        keyboard->setFaults({.removeAfterFrames = static_cast<unsigned>(pulledAt)});
        session.readBackAfterArrival();
        const auto after = platform::readWholeFile(workingFile);
        ASSERT_TRUE(after) << pulledAt;
        EXPECT_TRUE(parseProfile(*after)) << "frame " << pulledAt;
        simBackend.unplug(keyboard);
    }
}

TEST_F(KeyboardSessionTest, ApplyOfOneProfileSendsOneBracketedGroup) {
    start(sim::KeyboardModel::keys126);
    ASSERT_EQ(session.applyKeyConfiguration(false), model::KeyWriteOutcome::written);
    const Commands expected =
        Commands{command::kReadDeviceInfo, command::kBeginConfig, command::kWriteMacroArea} +
        repeated(command::kWriteKeyTable, 7) + Commands{command::kEndConfig};
    EXPECT_EQ(commandsSent(), expected);
}

TEST_F(KeyboardSessionTest, UnplugAtEachFrameOfAnApplyFailsCleanly) {
    for (unsigned pulledAt = 1; pulledAt <= 10; ++pulledAt) {
        start(sim::KeyboardModel::keys128);
        keyboard->setFaults({.removeAfterFrames = pulledAt});
        EXPECT_FALSE(model::keyTablesWritten(session.applyKeyConfiguration(true))) << pulledAt;
        simBackend.unplug(keyboard);
    }
}

TEST_F(KeyboardSessionTest, ProfileButtonOfTheActiveProfileOnlyReadsTheLightingBack) {
    start(sim::KeyboardModel::keys126);
    link.activeProfileCache = 0;
    session.switchToProfile(0);
    EXPECT_EQ(commandsSent(), kPlainLightingReadBack + perKeyPage());

    keyboard->clearWireLog();
    session.switchToProfile(2);
    const Commands selection = {command::kReadDeviceInfo, command::kWriteDeviceInfo};
    EXPECT_EQ(commandsSent(), kPlainLightingReadBack + perKeyPage() + selection);
    EXPECT_EQ(keyboard->activeProfile(), 2);

    // Selecting the active profile again still reads and writes the information block.
    keyboard->clearWireLog();
    session.selectProfile(2);
    EXPECT_EQ(commandsSent(), selection);
}

TEST_F(KeyboardSessionTest, RestoreDefaultsPutsEveryProfileBackToTheFactoryState) {
    start(sim::KeyboardModel::keys126);
    configuration.edited.image.record(1, model::keyIndexFromCode(0x01E)) =
        model::KeyAssignment{static_cast<std::uint16_t>(model::AssignmentType::disabled)};
    std::array<std::uint8_t, protocol::kMaxTableBytes> scrambled{};
    ASSERT_EQ(protocol::writeKeyTable(link, scrambled, 1), protocol::CommandResult::success);
    keyboard->clearWireLog();

    session.restoreDefaults();
    Commands expected;
    for (int profile = 0; profile < 3; ++profile) {
        expected = expected +
                   Commands{command::kBeginConfig, command::kWriteParams, command::kEndConfig} +
                   repeated(command::kWriteKeyTable, 7);
    }
    EXPECT_EQ(commandsSent(), expected);
    EXPECT_EQ(configuration.edited.image.record(1, model::keyIndexFromCode(0x01E)).type, 0);

    const auto tables = keyboard->memory(sim::SimRegion::keyTables);
    const auto factory = keyboard->memory(sim::SimRegion::defaultKeyTable);
    EXPECT_TRUE(std::equal(factory.begin(), factory.end(), tables.begin() + 378));
    const auto params = keyboard->memory(sim::SimRegion::params);
    const std::uint8_t block[] = {0x01, 0x04, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    EXPECT_TRUE(std::equal(std::begin(block), std::end(block), params.begin() + 84));
}

TEST_F(KeyboardSessionTest, KeyboardResetSelectsItsProfileAgainAndReadsTheLighting) {
    start(sim::KeyboardModel::keys126);
    configuration.edited.image.record(0, 5) =
        model::KeyAssignment{static_cast<std::uint16_t>(model::AssignmentType::disabled)};
    keyboard->factoryReset();
    keyboard->clearWireLog();
    session.onKeyboardReset();
    const Commands reselection = {command::kReadDeviceInfo, command::kReadDeviceInfo,
                                  command::kWriteDeviceInfo};
    EXPECT_EQ(commandsSent(), reselection + kPlainLightingReadBack);
    EXPECT_EQ(configuration.edited.image.record(0, 5).type, 0);
    EXPECT_EQ(session.currentPage(), 0);
    EXPECT_GE(view.lightingChanges, 1);
}

TEST_F(KeyboardSessionTest, LightingChangedOnTheKeyboardIsReadBack) {
    start(sim::KeyboardModel::keys128);
    keyboard->changeLightingOnKeyboard();
    keyboard->clearWireLog();
    session.onLightingChangedOnKeyboard();
    EXPECT_EQ(commandsSent(), kPlainLightingReadBack);
    const auto params = keyboard->memory(sim::SimRegion::params);
    EXPECT_EQ(lighting.blocks()[0].mode(), params[0]);
}

TEST_F(KeyboardSessionTest, BootRequestHandsTheKeyboardOver) {
    start(sim::KeyboardModel::keys126);
    EXPECT_TRUE(session.enterBootMode());
    EXPECT_TRUE(keyboard->inBootMode());
    EXPECT_EQ(commandsSent(), Commands{command::kEnterBootMode});
}

} // namespace
} // namespace velkan::storage
