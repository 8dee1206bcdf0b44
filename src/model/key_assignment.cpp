#include "model/key_assignment.h"

#include "protocol/command_report.h"
#include "protocol/command_set.h"

#include <algorithm>

namespace velkan::model {

namespace {

constexpr std::size_t kEntryBytes = 3;

DeviceKeyEntry entryAt(const protocol::KeyTableImage& table, int position) {
    const auto offset = static_cast<std::size_t>(position) * kEntryBytes;
    return {table[offset], table[offset + 1], table[offset + 2]};
}

void storeEntry(protocol::KeyTableImage& table, int position, DeviceKeyEntry entry) {
    const auto offset = static_cast<std::size_t>(position) * kEntryBytes;
    table[offset] = entry.type;
    table[offset + 1] = entry.b1;
    table[offset + 2] = entry.b2;
}

// Entry of a single-key record: modifiers and mouse actions have entries of their own, every
// other key is sent by its keyboard usage (0 when it has none, as for power, sleep and wake).
DeviceKeyEntry singleKeyEntry(KeyCode code) {
    if (const std::uint8_t mask = modifierMaskFromKeyCode(code)) {
        return {kEntryKeyboard, kKeyboardModifiers, mask};
    }
    if (const DeviceKeyEntry mouse = mouseEntryFromKeyCode(code); mouse.type != kEntryNone) {
        return mouse;
    }
    const UsageRef usage = usageFromKeyCode(code);
    return {kEntryKeyboard, kKeyboardKey,
            static_cast<std::uint8_t>(usage.page == kUsagePageKeyboard ? usage.usage : 0)};
}

DeviceKeyEntry encodeRecord(const KeyAssignment& record, DeviceKeyEntry factory,
                            const MacroList& macros) {
    switch (static_cast<AssignmentType>(record.type)) {
    case AssignmentType::defaultAction:
    case AssignmentType::startProgram:
        return factory;
    case AssignmentType::disabled:
    case AssignmentType::textBlock:
        return {};
    case AssignmentType::singleKey:
        return singleKeyEntry(static_cast<KeyCode>(record.value));
    case AssignmentType::playMacro: {
        const std::size_t slot = macroSlotOfId(macros, static_cast<std::uint16_t>(record.value));
        return {0x05, 0x01, static_cast<std::uint8_t>(slot)};
    }
    case AssignmentType::stopMacro:
        return {0x05, 0x02, 0x00};
    case AssignmentType::multimedia: {
        const auto& media = MediaKeyTable();
        if (record.value < 0 || static_cast<std::size_t>(record.value) >= media.size()) {
            return factory; // a record from a damaged file: keep the key as it is
        }
        const std::uint16_t usage = media[static_cast<std::size_t>(record.value)].consumerUsage;
        return {0x03, static_cast<std::uint8_t>(usage & 0xFF),
                static_cast<std::uint8_t>(usage >> 8)};
    }
    case AssignmentType::keyboardFunction:
        return {0x05, 0x05, static_cast<std::uint8_t>(record.value & 0xFF)};
    }
    return factory; // unknown types from a damaged file change nothing
}

// The record a table entry that differs from the factory one stands for.
KeyAssignment decodeEntry(DeviceKeyEntry entry) {
    KeyAssignment record;
    record.type = static_cast<std::uint16_t>(AssignmentType::disabled);
    const auto set = [&record](AssignmentType type, int value) {
        record.type = static_cast<std::uint16_t>(type);
        record.value = value;
    };
    switch (entry.type) {
    case 0x05:
        if (entry.b1 == 0x01) {
            set(AssignmentType::playMacro, entry.b2 + 1);
        } else if (entry.b1 == 0x02) {
            set(AssignmentType::stopMacro, 0);
        } else if (entry.b1 == 0x05) {
            set(AssignmentType::keyboardFunction, entry.b2);
        }
        break;
    case 0x03: {
        const auto usage = static_cast<std::uint16_t>(entry.b1 | entry.b2 << 8);
        const auto& media = MediaKeyTable();
        const auto found = std::find_if(media.begin(), media.end(), [usage](const MediaKey& key) {
            return key.consumerUsage == usage;
        });
        if (found != media.end()) {
            set(AssignmentType::multimedia, static_cast<int>(found - media.begin()));
        }
        break;
    }
    case 0x01:
        // An unknown mouse entry becomes a single key that produces nothing.
        set(AssignmentType::singleKey, keyCodeFromEntry(entry));
        break;
    case 0x02:
        if (entry.b1 == 0x02) {
            if (const KeyCode code = keyCodeFromUsage({7, entry.b2})) {
                set(AssignmentType::singleKey, code);
            }
        } else if (entry.b1 == 0x01) {
            set(AssignmentType::singleKey, keyCodeFromModifierMask(entry.b2));
        }
        break;
    default:
        break;
    }
    return record;
}

void clearAndTagBank(KeyImage& image, int bank) {
    for (KeyIndex index = 0; index < kRecordsPerBank; ++index) {
        image.record(bank, index) = {};
    }
    for (int extraKey = 0; extraKey < kExtraKeyCount; ++extraKey) {
        image.record(bank, static_cast<KeyIndex>(kFirstExtraKeyIndex + extraKey)).aux =
            extraKeyTag(extraKey);
    }
}

} // namespace

std::uint16_t extraKeyTag(int extraKey) {
    constexpr int kPerBank = kExtraKeyCount / 2;
    const int bank = extraKey / kPerBank;
    return static_cast<std::uint16_t>((bank == 0 ? 0x0301 : 0x1301) + extraKey % kPerBank);
}

std::size_t StringTable::totalBytes() const {
    std::size_t total = 0;
    for (const auto& entry : entries) {
        if (!entry.empty()) {
            total += (entry.size() + 1) * sizeof(char16_t);
        }
    }
    return total;
}

void initKeyImage(KeyImage& image) {
    image.records = {};
    clearAndTagBank(image, 0);
}

protocol::KeyTableImage encodeKeyTable(int profile, const KeyImage& image, const MacroList& macros,
                                       const protocol::KeyTableImage& defaultTable, int keyCount,
                                       int tableBytes) {
    protocol::KeyTableImage table{};
    const auto bytes = std::min(static_cast<std::size_t>(std::max(tableBytes, 0)), table.size());
    std::copy_n(defaultTable.begin(), bytes, table.begin());
    const int positions = std::min(keyCount, static_cast<int>(bytes / kEntryBytes));
    for (int position = 0; position < positions; ++position) {
        const DeviceKeyEntry factory = entryAt(defaultTable, position);
        const KeyCode code = keyCodeFromEntry(factory);
        if (code == 0) {
            continue; // a cell the program never changes
        }
        const KeyIndex index = keyIndexFromCode(code);
        if (index >= kRecordsPerBank) {
            continue;
        }
        storeEntry(table, position, encodeRecord(image.record(profile, index), factory, macros));
    }
    return table;
}

void decodeKeyTable(const protocol::KeyTableImage& table, int bank, KeyImage& image,
                    const protocol::KeyTableImage& defaultTable, int keyCount) {
    clearAndTagBank(image, bank);
    const int positions =
        std::min(keyCount, static_cast<int>(protocol::kMaxTableBytes / kEntryBytes));
    for (int position = 0; position < positions; ++position) {
        const DeviceKeyEntry entry = entryAt(table, position);
        const DeviceKeyEntry factory = entryAt(defaultTable, position);
        if (entry == factory) {
            continue;
        }
        const KeyIndex index = keyIndexFromCode(keyCodeFromEntry(factory));
        if (index == 0 || index >= kRecordsPerBank) {
            continue;
        }
        KeyAssignment& record = image.record(bank, index);
        const KeyAssignment decoded = decodeEntry(entry);
        record.type = decoded.type;
        record.value = decoded.value;
    }
}

int activeProfile(device::DeviceLink& link) {
    if (const int cached = link.activeProfileCache; cached != -1) {
        return cached;
    }
    std::array<std::uint8_t, protocol::kDeviceInfoSize> info{};
    if (protocol::readDeviceInfo(link, info) != protocol::CommandResult::success) {
        return -1;
    }
    link.activeProfileCache = info[protocol::kActiveProfileByte];
    return info[protocol::kActiveProfileByte];
}

void setActiveProfile(device::DeviceLink& link, int profile) {
    if (profile < 0) {
        return;
    }
    std::array<std::uint8_t, protocol::kDeviceInfoSize> info{};
    if (protocol::readDeviceInfo(link, info) != protocol::CommandResult::success) {
        return;
    }
    info[protocol::kActiveProfileByte] = static_cast<std::uint8_t>(profile);
    link.activeProfileCache =
        protocol::writeDeviceInfo(link, info) == protocol::CommandResult::success ? profile : -1;
}

KeyConfiguration::KeyConfiguration() {
    initKeyImage(edited.image);
    initKeyImage(applied.image);
}

void KeyConfiguration::resetProfileToDefaults(int profile) {
    if (profile < 0 || profile >= kProfileCount) {
        return;
    }
    std::lock_guard lock(modelLock);
    clearAndTagBank(edited.image, profile);
}

void KeyConfiguration::copyEditedToApplied() {
    std::lock_guard model(modelLock);
    std::lock_guard snapshot(snapshotLock);
    // The deleted-macro mark stays on the edited model until a write has sent all three key
    // tables: a refused or failed apply must not lose it.
    applied = edited;
}

bool keyTablesWritten(KeyWriteOutcome outcome) {
    return outcome == KeyWriteOutcome::written || outcome == KeyWriteOutcome::writtenWithoutNames;
}

std::string_view keyWriteMessageKey(KeyWriteOutcome outcome) {
    switch (outcome) {
    case KeyWriteOutcome::macrosTooLong:
        return "EXTRA_MACRO_TOO_LONG";
    case KeyWriteOutcome::writtenWithoutNames:
    case KeyWriteOutcome::failedWithoutNames:
        return "EXTRA_PROFILE_SPACE_TIGHT";
    case KeyWriteOutcome::written:
    case KeyWriteOutcome::noActiveProfile:
    case KeyWriteOutcome::failed:
        break;
    }
    return {};
}

KeyWriteOutcome KeyConfiguration::writeKeyConfiguration(bool allProfiles, device::DeviceLink& link,
                                                        const protocol::DeviceMirrors& mirrors) {
    std::unique_lock snapshot(snapshotLock);
    const MacroMemorySizes sizes = macroMemorySizes(applied.macros);
    const auto capacity = static_cast<std::size_t>(mirrors.macroCapacity());
    if (sizes.sizeWithoutNames > capacity) {
        return KeyWriteOutcome::macrosTooLong;
    }
    const bool withNames = sizes.fullSize <= capacity;
    const std::vector<std::uint8_t> macroImage = buildMacroMemory(
        applied.macros, withNames ? sizes.fullSize : sizes.sizeWithoutNames, withNames);

    std::vector<int> profiles;
    if (allProfiles || applied.macroDeleted) {
        profiles = {0, 1, 2};
    } else if (const int active = activeProfile(link); active >= 0 && active < kProfileCount) {
        profiles = {active};
    } else {
        return KeyWriteOutcome::noActiveProfile;
    }

    const protocol::KeyTableImage factory = mirrors.defaultKeyTable();
    const int keyCount = link.keyCount;
    const int tableBytes = link.tableBytes;
    std::vector<protocol::KeyTableImage> tables;
    for (int profile : profiles) {
        tables.push_back(
            encodeKeyTable(profile, applied.image, applied.macros, factory, keyCount, tableBytes));
    }
    snapshot.unlock();

    // What the write came to is the last key table's result.
    (void)protocol::beginConfig(link);
    (void)protocol::writeMacroArea(link, macroImage);
    protocol::CommandResult lastResult = protocol::CommandResult::noDevice;
    bool everyTableWritten = true;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        lastResult = protocol::writeKeyTable(link, tables[i], profiles[i]);
        everyTableWritten = everyTableWritten && lastResult == protocol::CommandResult::success;
    }
    (void)protocol::endConfig(link);

    if (profiles.size() == static_cast<std::size_t>(kProfileCount) && everyTableWritten) {
        // Every bank now addresses the macros by their new slots.
        std::lock_guard modelGuard(modelLock);
        std::lock_guard snapshotGuard(snapshotLock);
        applied.macroDeleted = false;
        edited.macroDeleted = false;
    }
    if (lastResult == protocol::CommandResult::success) {
        return withNames ? KeyWriteOutcome::written : KeyWriteOutcome::writtenWithoutNames;
    }
    return withNames ? KeyWriteOutcome::failed : KeyWriteOutcome::failedWithoutNames;
}

} // namespace velkan::model
