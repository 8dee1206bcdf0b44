#include "model/lighting.h"
#include "protocol/command_report.h"
#include "protocol/link_fixture.h"

#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <set>

namespace velkan::model {
namespace {

using device::DeviceLink;

// A host frame as compared here: the payload only for the writing commands.
struct Frame {
    std::uint8_t command = 0;
    std::uint8_t length = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> payload;
    friend bool operator==(const Frame&, const Frame&) = default;
};
void PrintTo(const Frame& f, std::ostream* out) {
    *out << "{cmd " << int{f.command} << " len " << int{f.length} << " @" << f.address << "}";
}
using Frames = std::vector<Frame>;

const Frame kBegin{1, 0, 0, {}};
const Frame kEnd{2, 0, 0, {}};
const Frames kReads = {{5, 56, 0, {}}, {5, 56, 42, {}}, {5, 56, 84, {}}};

Frames operator+(Frames first, const Frames& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}
Frames bracket(const Frames& inner) {
    return Frames{kBegin} + inner + Frames{kEnd};
}
// One bracketed parameter write.
Frames field(std::uint16_t address, std::vector<std::uint8_t> bytes) {
    return bracket({{6, static_cast<std::uint8_t>(bytes.size()), address, std::move(bytes)}});
}
// A whole colour page: eight frames of 18 keys.
Frames colourPage(int page, const KeyColourPage& colours) {
    Frames frames;
    for (int first = 0; first < 144; first += 18) {
        const auto at = colours.bytes.begin() + first * 3;
        frames.push_back(
            {0x11, 54, static_cast<std::uint16_t>(page * 512 + first * 3), {at, at + 54}});
    }
    return bracket(frames);
}

struct LightingTest : protocol::test::LinkFixture {
    void reconnect(sim::KeyboardModel model = sim::KeyboardModel::keys126,
                   sim::SimKeyboardOptions options = {}) {
        if (keyboard) {
            ASSERT_TRUE(simBackend.unplug(keyboard));
        }
        connect(model, std::move(options));
    }
    Frames wire() const {
        Frames frames;
        for (const auto& b : sentFrames()) {
            Frame frame{b[3], b[4], static_cast<std::uint16_t>(b[5] | b[6] << 8), {}};
            if (frame.command == 6 || frame.command == 0x11) {
                frame.payload.assign(b.begin() + 8, b.begin() + 8 + frame.length);
            }
            frames.push_back(frame);
        }
        return frames;
    }
    // What the program keeps is what the keyboard holds.
    void expectCopyMatchesKeyboard(const Lighting& lighting) const {
        const auto params = keyboard->memory(sim::SimRegion::params);
        const auto colours = keyboard->memory(sim::SimRegion::keyColours);
        for (std::size_t page = 0; page < 3; ++page) {
            const auto& block = lighting.blocks()[page].bytes;
            const auto& keys = lighting.keyColourPages()[page].bytes;
            const auto at = static_cast<std::ptrdiff_t>(page);
            EXPECT_TRUE(std::equal(block.begin(), block.end(), params.begin() + at * 42)) << page;
            EXPECT_TRUE(std::equal(keys.begin(), keys.end(), colours.begin() + at * 512)) << page;
        }
    }
    void storeParams(std::size_t offset, std::vector<std::uint8_t> bytes) {
        ASSERT_TRUE(keyboard->setMemory(sim::SimRegion::params, offset, bytes));
    }
};

TEST_F(LightingTest, ReadBackSendsItsSequenceAndKeepsThePages) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> offered;
        bool colourRefresh;
        Frames expected;
        std::vector<std::uint8_t> listed; // what the mode chooser shows
    };
    const Frames plain = Frames{{3, 44, 0, {}}, kBegin} + kReads + Frames{kEnd};
    const Frames refreshed =
        Frames{{3, 44, 0, {}}, kBegin} + colourPage(2, {}) + kReads + Frames{kEnd};
    const Case cases[] = {
        {"plain", {1, 5, 20}, false, plain, {1, 5, 20}},
        {"refresh, per-key colours offered", {1, 0, 20}, true, refreshed, {1, 20}},
        {"refresh, not offered", {4, 0, 9, 0, 0, 12}, true, plain, {4, 9, 12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reconnect(sim::KeyboardModel::keys128, {.lightingModes = c.offered});
        Lighting lighting;
        lighting.setCurrentPage(2);
        EXPECT_EQ(c.colourRefresh ? lighting.readLightingWithColourRefresh(link)
                                  : lighting.readLighting(link),
                  0);
        EXPECT_EQ(wire(), c.expected);
        EXPECT_EQ(lighting.supportedModes().modes(), c.listed);
        EXPECT_EQ(lighting.supportedModes().modeAt(1), c.listed[1]);
        expectCopyMatchesKeyboard(lighting);
        EXPECT_EQ(lighting.panel().colour, colourRef(0, 0, 255)); // the factory's page 2
    }
}

TEST_F(LightingTest, UnreadableInformationBlockStopsTheReadBack) {
    connect();
    Lighting lighting;
    ASSERT_EQ(lighting.readLighting(link), 0);
    const auto pages = lighting.blocks();
    storeParams(0, {9});
    keyboard->clearWireLog();
    keyboard->setFaults({.forcedStatus = 0xFF});

    EXPECT_EQ(lighting.readLightingWithColourRefresh(link), -1);
    EXPECT_EQ(wire(), (Frames{{3, 44, 0, {}}}));
    EXPECT_TRUE(lighting.supportedModes().empty());
    EXPECT_EQ(lighting.blocks(), pages);
}

TEST_F(LightingTest, EachChangeWritesItsFieldsBracketed) {
    const std::vector<std::uint8_t> grey = {0x12, 0x34, 0x56};
    const ColourRef greyRef = colourRef(0x12, 0x34, 0x56);
    std::vector<std::uint8_t> defaults = {1, 4, 3, 0, 255, 255, 255, 255};
    defaults.resize(35);
    struct Case {
        const char* name;
        int page;
        std::function<void(Lighting&, DeviceLink&)> act;
        Frames expected;
    };
    const Case cases[] = {
        {"speed positions 0-5, the last twice", 0,
         [](Lighting& l, DeviceLink& d) {
             for (const int position : {0, 1, 2, 3, 4, 5, 5}) {
                 l.setSpeedPosition(d, position);
             }
         },
         field(2, {5}) + field(2, {4}) + field(2, {2}) + field(2, {3}) + field(2, {1}) +
             field(2, {0})},
        {"brightness released where it was",
         0,
         [](Lighting& l, DeviceLink& d) { l.setBrightness(d, 25); },
         {}},
        {"brightness on page 1", 1, [](Lighting& l, DeviceLink& d) { l.setBrightness(d, 7); },
         field(43, {7})},
        {"mode 4", 0, [](Lighting& l, DeviceLink& d) { l.chooseMode(d, 4); }, field(0, {4})},
        {"mode 5", 0, [](Lighting& l, DeviceLink& d) { l.chooseMode(d, 5); },
         field(0, {5}) + field(4, {1})},
        {"colour on page 1", 1, [&](Lighting& l, DeviceLink& d) { l.chooseColour(d, greyRef); },
         bracket({{6, 1, 46, {0}}, {6, 3, 47, grey}})},
        {"direction arrow pressed twice on page 1", 1,
         [](Lighting& l, DeviceLink& d) {
             l.setDirection(d, 3);
             l.setDirection(d, 3);
         },
         field(59, {3}) + field(59, {3})},
        {"two-way switch on page 2", 2,
         [](Lighting& l, DeviceLink& d) { l.setTwoWaySwitch(d, true); }, field(19, {1})},
        {"second colour on page 2", 2,
         [&](Lighting& l, DeviceLink& d) { l.chooseSecondColour(d, greyRef); },
         field(28, {0}) + field(25, grey)},
        {"further colour button on page 1", 1,
         [&](Lighting& l, DeviceLink& d) { l.chooseExtraButtonColour(d, greyRef); },
         field(5, grey)},
        {"defaults of page 1", 2, [](Lighting& l, DeviceLink& d) { l.restoreDefaultBlock(d, 1); },
         field(42, defaults)},
        {"key 100 on page 2", 2,
         [&](Lighting& l, DeviceLink& d) { l.setKeyColour(d, 100, greyRef); },
         bracket({{0x11, 3, 1324, grey}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reconnect();
        Lighting lighting;
        ASSERT_EQ(lighting.readLighting(link), 0);
        ASSERT_TRUE(lighting.setCurrentPage(c.page));
        keyboard->clearWireLog();
        c.act(lighting, link);
        EXPECT_EQ(wire(), c.expected);
        expectCopyMatchesKeyboard(lighting);
    }
}

TEST_F(LightingTest, WholeColourPagesGoOutInEightFrames) {
    const ColourRef cyan = colourRef(0, 200, 200);
    struct Case {
        const char* name;
        sim::KeyboardModel model;
        std::uint8_t mode; // 0: store colours of keys and send the page instead
        std::size_t modeFrames;
    };
    const Case cases[] = {
        {"mode 20 on the 126-key model", sim::KeyboardModel::keys126, 20, 3},
        {"a set of keys on the 128-key model", sim::KeyboardModel::keys128, 0, 0},
    };
    const int painted[] = {0, 64, kLogoColourPosition, kExtraKeyColourPosition, 300};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reconnect(c.model);
        Lighting lighting;
        ASSERT_EQ(lighting.readLighting(link), 0);
        ASSERT_TRUE(lighting.setCurrentPage(1));
        // Past both models' keys, yet inside the last frame.
        ASSERT_TRUE(lighting.storeKeyColour(140, colourRef(250, 20, 120)));
        KeyColourPage expected = lighting.currentKeyColours();
        keyboard->clearWireLog();
        if (c.mode != 0) {
            lighting.chooseMode(link, c.mode);
        } else {
            for (const int position : painted) {
                // Positions outside the page are refused and change nothing.
                EXPECT_EQ(lighting.storeKeyColour(position, cyan), position != 300);
            }
            ASSERT_TRUE(lighting.writeKeyColours(link, 1));
            for (const int position : {0, 64, kLogoColourPosition, kExtraKeyColourPosition}) {
                expected.setColour(position, cyan);
            }
        }
        const Frames frames = wire();
        ASSERT_GE(frames.size(), c.modeFrames);
        EXPECT_EQ(Frames(frames.begin() + static_cast<std::ptrdiff_t>(c.modeFrames), frames.end()),
                  colourPage(1, expected));
        expectCopyMatchesKeyboard(lighting);
    }
}

TEST_F(LightingTest, ModeWithoutARuleIsKeptButNotSent) {
    connect();
    Lighting lighting;
    ASSERT_EQ(lighting.readLighting(link), 0);
    keyboard->clearWireLog();
    lighting.chooseMode(link, 19);
    EXPECT_TRUE(wire().empty());
    EXPECT_EQ(lighting.currentBlock().mode(), 19);
}

TEST_F(LightingTest, PanelShowsTheStoredPageWithinItsRanges) {
    struct Case {
        const char* name;
        std::size_t offset;
        std::vector<std::uint8_t> stored;
        std::function<void(LightingPanelState&)> change;
    };
    const Case cases[] = {
        {"pattern 7 shows as 3", 15, {7}, [](auto& p) { p.pattern = 3; }},
        {"speed byte 1 is position 4", 2, {1}, [](auto& p) { p.speedPosition = 4; }},
        {"brightness past the slider", 1, {40}, [](auto& p) { p.brightness = 25; }},
        {"light and cycling off", 3, {0, 0}, [](auto& p) { p.lightOn = p.colourCycling = false; }},
        {"colour", 5, {0x11, 0x22, 0x33}, [](auto& p) { p.colour = 0x332211; }},
    };
    connect();
    Lighting reference;
    ASSERT_EQ(reference.readLighting(link), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reconnect();
        storeParams(c.offset, c.stored);
        Lighting lighting;
        ASSERT_EQ(lighting.readLighting(link), 0);
        LightingPanelState expected = reference.panel();
        c.change(expected);
        EXPECT_EQ(lighting.panel(), expected);
    }
}

TEST_F(LightingTest, SwitchesKeepTheirLastValueWhenTheStoredOneIsOutOfRange) {
    connect();
    Lighting lighting;
    const auto readSwitches = [&](std::uint8_t mode, std::uint8_t mode7, std::uint8_t twoWay) {
        storeParams(0, {mode});
        storeParams(18, {mode7, twoWay});
        EXPECT_EQ(lighting.readLighting(link), 0);
        return std::pair(lighting.panel().mode7Switch, lighting.panel().twoWaySwitch);
    };
    EXPECT_EQ(readSwitches(7, 1, 1), std::pair(true, true));
    EXPECT_EQ(readSwitches(7, 2, 9), std::pair(true, true));
    EXPECT_EQ(readSwitches(8, 0, 0), std::pair(true, false)); // only mode 7 has the switch
}

TEST(ColourPositionList, EveryStandardKeyHasItsOwnPosition) {
    const auto& positions = ColourPositionList();
    const std::set<int> distinct(positions.begin(), positions.end());
    EXPECT_EQ(distinct.size(), positions.size());
    EXPECT_EQ(positions.front(), 64); // A
    EXPECT_EQ(distinct.count(kLogoColourPosition), 0u);
    EXPECT_LT(*distinct.rbegin(), kExtraKeyColourPosition);
}

} // namespace
} // namespace velkan::model
