// The keyboard's backlight as the program keeps it: the information block with the modes the
// keyboard offers, one 42-byte lighting page and one per-key colour page per profile, and the
// state the lighting panel shows. The keyboard holds the lighting itself; every change the user
// makes goes to it at once as a small bracketed write, and is kept in the copy here as sent.
#pragma once

#include "device/device_link.h"
#include "model/key_codes.h"
#include "protocol/command_set.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

namespace velkan::model {

inline constexpr int kLightingPageCount = 3;
inline constexpr std::size_t kLightingBlockBytes = 42;

// Red in the low byte, then green, then blue.
using ColourRef = std::uint32_t;

inline constexpr ColourRef colourRef(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return ColourRef{red} | (ColourRef{green} << 8) | (ColourRef{blue} << 16);
}
// The three bytes in the order the keyboard stores them: red, green, blue.
std::array<std::uint8_t, 3> colourBytes(ColourRef colour);

namespace lighting_offset {
inline constexpr std::size_t kMode = 0;
inline constexpr std::size_t kBrightness = 1;
inline constexpr std::size_t kSpeed = 2;
inline constexpr std::size_t kLightSwitch = 3;
inline constexpr std::size_t kColourCycling = 4;
inline constexpr std::size_t kColour = 5;
inline constexpr std::size_t kPattern = 15;
inline constexpr std::size_t kDirection = 17;
inline constexpr std::size_t kMode7Switch = 18;
inline constexpr std::size_t kTwoWaySwitch = 19;
inline constexpr std::size_t kSecondColour = 25;
inline constexpr std::size_t kSecondColourSwitch = 28;
inline constexpr std::size_t kThirdColour = 30;
inline constexpr std::size_t kThirdColourSwitch = 33;
} // namespace lighting_offset

inline constexpr int kMaxBrightness = 25;
inline constexpr int kMaxSpeedPosition = 5;
inline constexpr int kMaxPattern = 3;
inline constexpr std::uint8_t kLightOnByte = 0xFF;
inline constexpr std::uint8_t kPerKeyColourMode = 20;

// The byte the keyboard stores for a speed slider position (0-5), and back. Positions outside
// 0-5 and bytes above 5 are taken as the nearest end.
std::uint8_t speedByteForPosition(int position);
int speedPositionForByte(std::uint8_t stored);

// One profile's lighting page, byte for byte as the keyboard keeps it.
struct LightingBlock {
    std::array<std::uint8_t, kLightingBlockBytes> bytes{};

    std::uint8_t mode() const { return bytes[lighting_offset::kMode]; }
    std::uint8_t brightness() const { return bytes[lighting_offset::kBrightness]; }
    std::uint8_t speedByte() const { return bytes[lighting_offset::kSpeed]; }
    bool lightOn() const { return bytes[lighting_offset::kLightSwitch] != 0; }
    bool colourCycling() const { return bytes[lighting_offset::kColourCycling] != 0; }
    ColourRef colour() const { return colourAt(lighting_offset::kColour); }
    // The selector as the panel shows it: anything above 3 counts as 3.
    int pattern() const;
    std::uint8_t direction() const { return bytes[lighting_offset::kDirection]; }
    std::uint8_t mode7Switch() const { return bytes[lighting_offset::kMode7Switch]; }
    std::uint8_t twoWaySwitch() const { return bytes[lighting_offset::kTwoWaySwitch]; }
    ColourRef secondColour() const { return colourAt(lighting_offset::kSecondColour); }
    bool secondColourOn() const { return bytes[lighting_offset::kSecondColourSwitch] != 0; }
    ColourRef thirdColour() const { return colourAt(lighting_offset::kThirdColour); }
    bool thirdColourOn() const { return bytes[lighting_offset::kThirdColourSwitch] != 0; }

    // Copies `data` to `offset`; false, with nothing changed, when it does not fit the block.
    bool store(std::size_t offset, std::span<const std::uint8_t> data);

    friend bool operator==(const LightingBlock&, const LightingBlock&) = default;

private:
    ColourRef colourAt(std::size_t offset) const {
        return colourRef(bytes[offset], bytes[offset + 1], bytes[offset + 2]);
    }
};

// The lighting modes the keyboard offers, in the order the mode chooser lists them.
class SupportedModes {
public:
    SupportedModes() = default;
    // Bytes 12-43 of the information block, zeros skipped; a shorter block gives what it holds.
    static SupportedModes fromDeviceInfo(std::span<const std::uint8_t> deviceInfo);

    const std::vector<std::uint8_t>& modes() const { return modes_; }
    bool empty() const { return modes_.empty(); }
    bool contains(std::uint8_t mode) const;
    // Chooser item -> mode number, and back.
    std::optional<std::uint8_t> modeAt(std::size_t item) const;
    std::optional<std::size_t> itemOf(std::uint8_t mode) const;

private:
    std::vector<std::uint8_t> modes_;
};

inline constexpr std::size_t kKeyColourPageBytes = protocol::kKeyColourPageBytes;
inline constexpr int kKeyColourPositions = static_cast<int>(kKeyColourPageBytes / 3);
// Every extra-key button lights through this one position.
inline constexpr int kExtraKeyColourPosition = 125;
inline constexpr int kLogoColourPosition = 110;

// One profile's per-key colours: red, green, blue for each colour position.
struct KeyColourPage {
    std::array<std::uint8_t, kKeyColourPageBytes> bytes{};

    std::optional<ColourRef> colourAt(int position) const;
    // False, with nothing changed, for a position outside the page.
    bool setColour(int position, ColourRef colour);
};

// The colour position of each standard key, in the order of KeyPositionList.
const std::array<std::uint8_t, kStandardKeyCount>& ColourPositionList();

// Which of the panel's three sets of effect controls a mode uses.
enum class PanelLayout : std::uint8_t { first, second, third };
PanelLayout layoutForMode(std::uint8_t mode);

// What the lighting panel shows for the current page.
struct LightingPanelState {
    std::uint8_t mode = 0;
    int brightness = 0;    // slider position 0-25; the last value read or written
    int speedPosition = 0; // slider position 0-5; the last value read or written
    bool lightOn = false;
    std::uint8_t direction = 0; // 0-3 from the arrows; kept as stored for the preview
    int pattern = 0;
    ColourRef colour = 0;
    ColourRef buttonColour = 0; // what the colour buttons show
    bool colourCycling = false;
    bool mode7Switch = false;
    bool twoWaySwitch = false;
    ColourRef secondColour = 0;
    bool secondColourOn = false;
    ColourRef thirdColour = 0;
    bool thirdColourOn = false;

    friend bool operator==(const LightingPanelState&, const LightingPanelState&) = default;
};

// The program's copy of the keyboard's lighting and the writes each change makes. Used by one
// thread at a time (the keyboard controller's worker; the window holds a copy of its own); the
// device link's own lock serialises the writes with other threads.
// Write results are not checked: a failed write leaves the keyboard as it was while the copy
// and the panel show the new value.
class Lighting {
public:
    using DeviceLink = device::DeviceLink;

    // Information block, then the three pages inside one begin/end pair. 0, or -1 when the
    // information block cannot be read: then nothing else is sent, the mode list is emptied
    // and the pages and panel stay as they were.
    int readLighting(DeviceLink& link);
    // The same at arrival: when the keyboard offers per-key colours, the current page's
    // colours are sent first, bracketed on their own inside the outer pair.
    int readLightingWithColourRefresh(DeviceLink& link);

    int currentPage() const { return currentPage_; }
    // The profile page chosen in the main window; the panel follows the copy of that page.
    // False for a page outside 0-2.
    bool setCurrentPage(int page);

    const std::array<std::uint8_t, protocol::kDeviceInfoSize>& deviceInfo() const {
        return deviceInfo_;
    }
    const SupportedModes& supportedModes() const { return supportedModes_; }
    const std::array<LightingBlock, kLightingPageCount>& blocks() const { return blocks_; }
    const LightingBlock& currentBlock() const;
    const std::array<KeyColourPage, kLightingPageCount>& keyColourPages() const {
        return keyColourPages_;
    }
    const KeyColourPage& currentKeyColours() const;
    const LightingPanelState& panel() const { return panel_; }

    // Bytes at `offset` of the current page, bracketed. False, with nothing sent, when they
    // do not fit the block.
    bool writeLightingField(DeviceLink& link, std::size_t offset,
                            std::span<const std::uint8_t> data);
    // The whole per-key colour page, in 18-key frames. False for a page outside 0-2.
    bool writeKeyColours(DeviceLink& link, int page);

    // Sets the mode and sends what that mode needs (mode byte, the colour-cycling switch, the
    // per-key colours); a mode without a rule is set here only.
    void chooseMode(DeviceLink& link, std::uint8_t mode);

    // Slider positions; false, with nothing sent, outside their range. A position equal to
    // the last one is not sent again.
    bool setBrightness(DeviceLink& link, int position);
    bool setSpeedPosition(DeviceLink& link, int position);
    void setLightOn(DeviceLink& link, bool on);
    void setColourCycling(DeviceLink& link, bool on);
    // The mode-7 toggle flips its own switch and the colour-cycling switch together; only the
    // colour-cycling byte goes to the keyboard.
    void toggleMode7Cycling(DeviceLink& link);
    // A colour from the main colour buttons: cycling off, then the colour, as one change.
    void chooseColour(DeviceLink& link, ColourRef colour);
    // The further colour button: the colour bytes alone.
    void chooseExtraButtonColour(DeviceLink& link, ColourRef colour);
    // Direction arrow 0-3; false otherwise.
    bool setDirection(DeviceLink& link, int arrow);
    void setTwoWaySwitch(DeviceLink& link, bool second);
    void chooseSecondColour(DeviceLink& link, ColourRef colour);
    void setSecondColourOn(DeviceLink& link, bool on);
    void chooseThirdColour(DeviceLink& link, ColourRef colour);
    void setThirdColourOn(DeviceLink& link, bool on);

    // Writes the default lighting page of `page` in one write; false for a page outside 0-2.
    bool restoreDefaultBlock(DeviceLink& link, int page);

    // Stores one colour position of the current page without sending it; false outside it.
    bool storeKeyColour(int position, ColourRef colour);
    // One key of the current page, sent alone; false for a position outside the page.
    bool setKeyColour(DeviceLink& link, int position, ColourRef colour);

private:
    struct Field {
        std::size_t offset;
        std::span<const std::uint8_t> data;
    };

    int readBack(DeviceLink& link, bool refreshColours);
    void decodePanel();
    void writeSharedField(DeviceLink& link, std::size_t offset, std::span<const std::uint8_t> data);
    void writeAt(DeviceLink& link, int page, std::size_t offset,
                 std::span<const std::uint8_t> data);
    // The fields of one change, inside one begin/end pair; nothing when one does not fit.
    void writeFields(DeviceLink& link, int page, std::initializer_list<Field> fields);

    std::array<std::uint8_t, protocol::kDeviceInfoSize> deviceInfo_{};
    SupportedModes supportedModes_;
    std::array<LightingBlock, kLightingPageCount> blocks_{};
    std::array<KeyColourPage, kLightingPageCount> keyColourPages_{};
    int currentPage_ = 0;
    LightingPanelState panel_;
};

} // namespace velkan::model
