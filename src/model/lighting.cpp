#include "model/lighting.h"

#include "platform/little_endian.h"
#include "protocol/command_report.h"

#include <algorithm>

namespace velkan::model {

namespace {

using protocol::beginConfig;
using protocol::endConfig;

constexpr std::size_t kModeListOffset = 12;
constexpr std::size_t kModeListEnd = 44;
constexpr int kKeysPerColourFrame = 18;
constexpr std::size_t kColourFrameBytes = kKeysPerColourFrame * 3;

// Modes that take the colour-cycling switch after their number, and modes that take only
// their number.
constexpr std::array<std::uint8_t, 10> kModesWithCycling = {1, 2, 3, 5, 7, 8, 9, 13, 14, 15};
constexpr std::array<std::uint8_t, 8> kModesAlone = {4, 6, 10, 11, 12, 16, 17, 18};

// Indexed by slider position; the table is its own inverse.
constexpr std::array<std::uint8_t, kMaxSpeedPosition + 1> kSpeedBytes = {5, 4, 2, 3, 1, 0};

// Mode 1, brightness 4, speed byte 3, light switch 0, colour cycling on, colour white, and
// every later field up to offset 34 zero.
constexpr std::size_t kDefaultBlockBytes = 35;
constexpr std::array<std::uint8_t, kDefaultBlockBytes> kDefaultBlock = {0x01, 0x04, 0x03, 0x00,
                                                                        0xFF, 0xFF, 0xFF, 0xFF};

constexpr std::array<std::uint8_t, kStandardKeyCount> kColourPositions = {
    64, 90,  88,  66,  45,  67, 68,  69,  50,  70,  71, 72,  92,  91,  51,  52,  43,  46,
    65, 47,  49,  89,  44,  87, 48,  86,  22,  23,  24, 25,  26,  27,  28,  29,  30,  31,
    76, 0,   34,  42,  108, 32, 33,  53,  54,  55,  73, 74,  21,  93,  94,  95,  1,   2,
    3,  4,   5,   6,   7,   8,  9,   10,  11,  12,  14, 16,  35,  56,  36,  57,  37,  58,
    99, 120, 119, 121, 15,  63, 111, 105, 113, 84,  97, 107, 109, 106, 112, 101, 102, 103,
    80, 81,  82,  59,  60,  61, 123, 38,  104, 124, 39, 40,  41,  62,  85,  96};

std::uint8_t switchByte(bool on) {
    return on ? 1 : 0;
}

bool validPage(int page) {
    return page >= 0 && page < kLightingPageCount;
}

std::size_t pageIndex(int page) {
    return static_cast<std::size_t>(page);
}

} // namespace

std::array<std::uint8_t, 3> colourBytes(ColourRef colour) {
    return {static_cast<std::uint8_t>(colour & 0xFF),
            static_cast<std::uint8_t>((colour >> 8) & 0xFF),
            static_cast<std::uint8_t>((colour >> 16) & 0xFF)};
}

std::uint8_t speedByteForPosition(int position) {
    return kSpeedBytes[static_cast<std::size_t>(std::clamp(position, 0, kMaxSpeedPosition))];
}

int speedPositionForByte(std::uint8_t stored) {
    return kSpeedBytes[std::min<std::size_t>(stored, kMaxSpeedPosition)];
}

int LightingBlock::pattern() const {
    return std::min<int>(bytes[lighting_offset::kPattern], kMaxPattern);
}

bool LightingBlock::store(std::size_t offset, std::span<const std::uint8_t> data) {
    if (!platform::rangeFits(bytes.size(), offset, data.size())) {
        return false;
    }
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

SupportedModes SupportedModes::fromDeviceInfo(std::span<const std::uint8_t> deviceInfo) {
    SupportedModes result;
    const std::size_t end = std::min(deviceInfo.size(), kModeListEnd);
    for (std::size_t i = kModeListOffset; i < end; ++i) {
        if (deviceInfo[i] != 0) {
            result.modes_.push_back(deviceInfo[i]);
        }
    }
    return result;
}

bool SupportedModes::contains(std::uint8_t mode) const {
    return std::find(modes_.begin(), modes_.end(), mode) != modes_.end();
}

std::optional<std::uint8_t> SupportedModes::modeAt(std::size_t item) const {
    if (item >= modes_.size()) {
        return std::nullopt;
    }
    return modes_[item];
}

std::optional<std::size_t> SupportedModes::itemOf(std::uint8_t mode) const {
    const auto found = std::find(modes_.begin(), modes_.end(), mode);
    if (found == modes_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - modes_.begin());
}

std::optional<ColourRef> KeyColourPage::colourAt(int position) const {
    if (position < 0 || position >= kKeyColourPositions) {
        return std::nullopt;
    }
    const std::size_t at = static_cast<std::size_t>(position) * 3;
    return colourRef(bytes[at], bytes[at + 1], bytes[at + 2]);
}

bool KeyColourPage::setColour(int position, ColourRef colour) {
    if (position < 0 || position >= kKeyColourPositions) {
        return false;
    }
    const auto rgb = colourBytes(colour);
    std::copy(rgb.begin(), rgb.end(), bytes.begin() + static_cast<std::ptrdiff_t>(position) * 3);
    return true;
}

const std::array<std::uint8_t, kStandardKeyCount>& ColourPositionList() {
    return kColourPositions;
}

PanelLayout layoutForMode(std::uint8_t mode) {
    if (mode >= 1 && mode <= 3) {
        return PanelLayout::second;
    }
    return mode == 12 ? PanelLayout::third : PanelLayout::first;
}

int Lighting::readLighting(DeviceLink& link) {
    return readBack(link, false);
}

int Lighting::readLightingWithColourRefresh(DeviceLink& link) {
    return readBack(link, true);
}

int Lighting::readBack(DeviceLink& link, bool refreshColours) {
    std::array<std::uint8_t, protocol::kDeviceInfoSize> info{};
    if (protocol::readDeviceInfo(link, info) != protocol::CommandResult::success) {
        supportedModes_ = {};
        return -1;
    }
    deviceInfo_ = info;
    supportedModes_ = SupportedModes::fromDeviceInfo(deviceInfo_);

    (void)protocol::beginConfig(link);
    if (refreshColours && supportedModes_.contains(kPerKeyColourMode)) {
        writeKeyColours(link, currentPage_);
    }
    for (std::size_t page = 0; page < blocks_.size(); ++page) {
        std::array<std::uint8_t, protocol::kParamsReplySize> reply{};
        const auto address = static_cast<std::uint16_t>(page * kLightingBlockBytes);
        // A page whose read fails keeps what the copy last held rather than a blank reply.
        if (protocol::readParams(link, reply, protocol::kParamsReplySize, address) ==
            protocol::CommandResult::success) {
            std::copy_n(reply.begin(), kLightingBlockBytes, blocks_[page].bytes.begin());
        }
    }
    (void)protocol::endConfig(link);
    decodePanel();
    return 0;
}

bool Lighting::setCurrentPage(int page) {
    if (!validPage(page)) {
        return false;
    }
    currentPage_ = page;
    decodePanel();
    return true;
}

const LightingBlock& Lighting::currentBlock() const {
    return blocks_[pageIndex(currentPage_)];
}

const KeyColourPage& Lighting::currentKeyColours() const {
    return keyColourPages_[pageIndex(currentPage_)];
}

void Lighting::decodePanel() {
    const LightingBlock& block = currentBlock();
    panel_.mode = block.mode();
    panel_.brightness = std::min<int>(block.brightness(), kMaxBrightness);
    panel_.speedPosition = speedPositionForByte(block.speedByte());
    panel_.lightOn = block.lightOn();
    panel_.direction = block.direction();
    panel_.pattern = block.pattern();
    panel_.colour = block.colour();
    panel_.colourCycling = block.colourCycling();
    // The two switches are only taken when they hold a value the panel can show.
    if (block.mode() == 7 && block.mode7Switch() <= 1) {
        panel_.mode7Switch = block.mode7Switch() == 1;
    }
    if (block.twoWaySwitch() <= 1) {
        panel_.twoWaySwitch = block.twoWaySwitch() == 1;
    }
    panel_.secondColour = block.secondColour();
    panel_.secondColourOn = block.secondColourOn();
    panel_.thirdColour = block.thirdColour();
    panel_.thirdColourOn = block.thirdColourOn();
}

void Lighting::writeAt(DeviceLink& link, int page, std::size_t offset,
                       std::span<const std::uint8_t> data) {
    writeFields(link, page, {{offset, data}});
}

void Lighting::writeFields(DeviceLink& link, int page, std::initializer_list<Field> fields) {
    const bool fit = std::all_of(fields.begin(), fields.end(), [](const Field& field) {
        return platform::rangeFits(kLightingBlockBytes, field.offset, field.data.size());
    });
    if (!fit) {
        return;
    }
    // The copy keeps what the user set whatever the keyboard answers.
    (void)protocol::beginConfig(link);
    for (const Field& field : fields) {
        blocks_[pageIndex(page)].store(field.offset, field.data);
        const auto address =
            static_cast<std::uint16_t>(pageIndex(page) * kLightingBlockBytes + field.offset);
        (void)protocol::writeParams(link, field.data, address);
    }
    (void)protocol::endConfig(link);
}

// The two-way switch, the second and third colours and the further colour button go to the
// first page's offsets whatever page is shown, although they are read from the current page.
// Whether the keyboard keeps them per page is not known; this is the one place to change if so.
void Lighting::writeSharedField(DeviceLink& link, std::size_t offset,
                                std::span<const std::uint8_t> data) {
    writeAt(link, 0, offset, data);
}

bool Lighting::writeLightingField(DeviceLink& link, std::size_t offset,
                                  std::span<const std::uint8_t> data) {
    if (!platform::rangeFits(kLightingBlockBytes, offset, data.size())) {
        return false;
    }
    writeAt(link, currentPage_, offset, data);
    return true;
}

bool Lighting::writeKeyColours(DeviceLink& link, int page) {
    if (!validPage(page)) {
        return false;
    }
    const auto& bytes = keyColourPages_[pageIndex(page)].bytes;
    const int frames = std::max(link.keyCount.load(), 0) / kKeysPerColourFrame + 1;
    (void)protocol::beginConfig(link);
    for (int frame = 0; frame < frames; ++frame) {
        const std::size_t offset = static_cast<std::size_t>(frame) * kColourFrameBytes;
        if (!platform::rangeFits(bytes.size(), offset, kColourFrameBytes)) {
            break;
        }
        (void)protocol::writeKeyColours(link, std::span(bytes).subspan(offset, kColourFrameBytes),
                                        frame * kKeysPerColourFrame, page);
    }
    (void)protocol::endConfig(link);
    return true;
}

void Lighting::chooseMode(DeviceLink& link, std::uint8_t mode) {
    panel_.mode = mode;
    const std::array<std::uint8_t, 1> modeByte{mode};
    if (std::find(kModesWithCycling.begin(), kModesWithCycling.end(), mode) !=
        kModesWithCycling.end()) {
        writeLightingField(link, lighting_offset::kMode, modeByte);
        const std::array<std::uint8_t, 1> cycling{switchByte(panel_.colourCycling)};
        writeLightingField(link, lighting_offset::kColourCycling, cycling);
    } else if (std::find(kModesAlone.begin(), kModesAlone.end(), mode) != kModesAlone.end()) {
        writeLightingField(link, lighting_offset::kMode, modeByte);
    } else if (mode == kPerKeyColourMode) {
        writeLightingField(link, lighting_offset::kMode, modeByte);
        writeKeyColours(link, currentPage_);
    } else {
        blocks_[pageIndex(currentPage_)].bytes[lighting_offset::kMode] = mode;
    }
}

bool Lighting::setBrightness(DeviceLink& link, int position) {
    if (position < 0 || position > kMaxBrightness) {
        return false;
    }
    if (position != panel_.brightness) {
        panel_.brightness = position;
        const std::array<std::uint8_t, 1> value{static_cast<std::uint8_t>(position)};
        writeLightingField(link, lighting_offset::kBrightness, value);
    }
    return true;
}

bool Lighting::setSpeedPosition(DeviceLink& link, int position) {
    if (position < 0 || position > kMaxSpeedPosition) {
        return false;
    }
    if (position != panel_.speedPosition) {
        panel_.speedPosition = position;
        const std::array<std::uint8_t, 1> value{speedByteForPosition(position)};
        writeLightingField(link, lighting_offset::kSpeed, value);
    }
    return true;
}

void Lighting::setLightOn(DeviceLink& link, bool on) {
    panel_.lightOn = on;
    const std::array<std::uint8_t, 1> value{on ? kLightOnByte : std::uint8_t{0}};
    writeLightingField(link, lighting_offset::kLightSwitch, value);
}

void Lighting::setColourCycling(DeviceLink& link, bool on) {
    panel_.colourCycling = on;
    const std::array<std::uint8_t, 1> value{switchByte(on)};
    writeLightingField(link, lighting_offset::kColourCycling, value);
}

void Lighting::toggleMode7Cycling(DeviceLink& link) {
    panel_.mode7Switch = !panel_.mode7Switch;
    setColourCycling(link, !panel_.colourCycling);
}

void Lighting::chooseColour(DeviceLink& link, ColourRef colour) {
    panel_.colourCycling = false;
    panel_.colour = colour;
    panel_.buttonColour = colour;
    const std::array<std::uint8_t, 1> cyclingOff{switchByte(false)};
    writeFields(link, currentPage_,
                {{lighting_offset::kColourCycling, cyclingOff},
                 {lighting_offset::kColour, colourBytes(colour)}});
}

void Lighting::chooseExtraButtonColour(DeviceLink& link, ColourRef colour) {
    panel_.colour = colour;
    writeSharedField(link, lighting_offset::kColour, colourBytes(colour));
}

bool Lighting::setDirection(DeviceLink& link, int arrow) {
    if (arrow < 0 || arrow > 3) {
        return false;
    }
    panel_.direction = static_cast<std::uint8_t>(arrow);
    const std::array<std::uint8_t, 1> value{panel_.direction};
    writeLightingField(link, lighting_offset::kDirection, value);
    return true;
}

void Lighting::setTwoWaySwitch(DeviceLink& link, bool second) {
    panel_.twoWaySwitch = second;
    const std::array<std::uint8_t, 1> value{switchByte(second)};
    writeSharedField(link, lighting_offset::kTwoWaySwitch, value);
}

void Lighting::chooseSecondColour(DeviceLink& link, ColourRef colour) {
    setSecondColourOn(link, false);
    panel_.secondColour = colour;
    writeSharedField(link, lighting_offset::kSecondColour, colourBytes(colour));
}

void Lighting::setSecondColourOn(DeviceLink& link, bool on) {
    panel_.secondColourOn = on;
    const std::array<std::uint8_t, 1> value{switchByte(on)};
    writeSharedField(link, lighting_offset::kSecondColourSwitch, value);
}

void Lighting::chooseThirdColour(DeviceLink& link, ColourRef colour) {
    setThirdColourOn(link, false);
    panel_.thirdColour = colour;
    writeSharedField(link, lighting_offset::kThirdColour, colourBytes(colour));
}

void Lighting::setThirdColourOn(DeviceLink& link, bool on) {
    panel_.thirdColourOn = on;
    const std::array<std::uint8_t, 1> value{switchByte(on)};
    writeSharedField(link, lighting_offset::kThirdColourSwitch, value);
}

bool Lighting::restoreDefaultBlock(DeviceLink& link, int page) {
    if (!validPage(page)) {
        return false;
    }
    writeAt(link, page, 0, kDefaultBlock);
    if (page == currentPage_) {
        decodePanel();
        panel_.buttonColour = panel_.colour;
    }
    return true;
}

bool Lighting::storeKeyColour(int position, ColourRef colour) {
    return keyColourPages_[pageIndex(currentPage_)].setColour(position, colour);
}

bool Lighting::setKeyColour(DeviceLink& link, int position, ColourRef colour) {
    if (!storeKeyColour(position, colour)) {
        return false;
    }
    const auto& bytes = currentKeyColours().bytes;
    (void)protocol::beginConfig(link);
    (void)protocol::writeKeyColours(
        link, std::span(bytes).subspan(static_cast<std::size_t>(position) * 3, 3), position,
        currentPage_);
    (void)protocol::endConfig(link);
    return true;
}

} // namespace velkan::model
