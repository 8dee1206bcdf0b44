// What every key does in each of the three profiles: the 16-byte KeyAssignment records of the
// KeyImage (stored byte for byte in profile files), their texts and the macros, and the
// translations to and from the keyboard's key tables of 3-byte entries.
#pragma once

#include "device/device_link.h"
#include "lang/text_lookup.h"
#include "model/key_codes.h"
#include "model/macro.h"
#include "protocol/device_mirrors.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velkan::model {

enum class AssignmentType : std::uint16_t {
    defaultAction = 0, // what the keyboard's factory table says
    disabled = 1,
    singleKey = 2,    // value: the KeyCode to produce
    startProgram = 3, // text: the program's path; the keyboard keeps the key's own function
    playMacro = 4,    // value: the macro's id; aux: the cycle count entered with it
    stopMacro = 5,
    textBlock = 6,        // text: the text to type; the keyboard disables the key
    multimedia = 7,       // value: position in MediaKeyTable
    keyboardFunction = 8, // value: position in the keyboard function list
};

struct KeyAssignment {
    std::uint16_t type = 0;
    std::uint16_t aux = 0;
    std::int32_t value = 0;
    std::int32_t marker = 0; // per key position / extra-key button; never sent
    std::int32_t reserved = 0;
};
static_assert(sizeof(KeyAssignment) == 16);
static_assert(offsetof(KeyAssignment, value) == 4);
static_assert(offsetof(KeyAssignment, marker) == 8);

inline constexpr int kProfileCount = 3;
inline constexpr std::size_t kRecordsPerBank = 512;
inline constexpr std::size_t kBankCount = 4;
inline constexpr std::size_t kRecordCount = kRecordsPerBank * kBankCount;
inline constexpr KeyIndex kFirstExtraKeyIndex = 256;
// The keyboard's records hold two banks of nine extra keys; the G-key buttons stand for the
// first, so the button at place n (0-8) edits record 256 + n.
constexpr KeyIndex shownExtraKeyIndex(int place) {
    return static_cast<KeyIndex>(kFirstExtraKeyIndex + place);
}
// A key the key image keeps a record of: a row of the key table or one of the extra keys.
constexpr bool isKeyImageIndex(KeyIndex index) {
    return index < kFirstExtraKeyIndex + kExtraKeyCount;
}

// The whole key configuration as a profile file stores it: file header, device block, then
// four banks of 512 records (bank p is profile p; bank 3 stays zero).
struct KeyImage {
    std::array<std::uint8_t, 32> fileHeader{};
    std::array<std::uint8_t, 32> deviceBlock{};
    std::array<KeyAssignment, kRecordCount> records{};

    KeyAssignment& record(int profile, KeyIndex index) {
        return records[static_cast<std::size_t>(profile) * kRecordsPerBank + index];
    }
    const KeyAssignment& record(int profile, KeyIndex index) const {
        return records[static_cast<std::size_t>(profile) * kRecordsPerBank + index];
    }
};
static_assert(sizeof(KeyImage) == 32832);
static_assert(offsetof(KeyImage, records) == 64);

// The fixed aux tag of extra-key record 256 + n (n = 0..17): 0x0301.. then 0x1301..
std::uint16_t extraKeyTag(int extraKey);

// The texts of start-program and text-block records, one UTF-16 entry per record.
struct StringTable {
    std::vector<std::u16string> entries = std::vector<std::u16string>(kRecordCount);
    // Sum of every non-empty entry's size in bytes with its terminator.
    std::size_t totalBytes() const;
};

// The editing model and, separately, the copy that an apply encodes from.
struct KeyModel {
    KeyImage image;
    StringTable strings;
    MacroList macros;
    // Set when a macro that a key of the active profile uses was asked to be deleted: the
    // next write then sends all three key tables.
    bool macroDeleted = false;
};

// All records zero, then the extra-key records of bank 0 tagged.
void initKeyImage(KeyImage& image);

// The keyboard's table for one profile: the factory table with every identified position
// replaced by the encoding of that key's record.
protocol::KeyTableImage encodeKeyTable(int profile, const KeyImage& image, const MacroList& macros,
                                       const protocol::KeyTableImage& defaultTable, int keyCount,
                                       int tableBytes);

// Fills one bank from a table read back from the keyboard: the bank is cleared and tagged,
// then every position that differs from the factory table gets a record.
void decodeKeyTable(const protocol::KeyTableImage& table, int bank, KeyImage& image,
                    const protocol::KeyTableImage& defaultTable, int keyCount);

// The keyboard's active profile, read when the cache is empty; -1 when it cannot be read.
int activeProfile(device::DeviceLink& link);
// Makes profile p the keyboard's active one (read, change byte 10, write back).
void setActiveProfile(device::DeviceLink& link, int profile);

// What a write of the key configuration came to. "Written" means the last key table reached
// the keyboard.
enum class [[nodiscard]] KeyWriteOutcome{
    written,
    // The macros fitted the keyboard's memory only without their names and went so.
    writtenWithoutNames,
    // Even without their names the macros do not fit: nothing was sent.
    macrosTooLong,
    // The keyboard did not say which profile is active: nothing was sent.
    noActiveProfile,
    failed,
    // The macros went without their names, then a key-table write failed.
    failedWithoutNames,
};

bool keyTablesWritten(KeyWriteOutcome outcome);
// The language text that tells the user about an outcome, shown top-most once the write is
// over; empty when there is nothing to tell.
std::string_view keyWriteMessageKey(KeyWriteOutcome outcome);

// The edited model, the applied copy, and their locks: ModelLock guards the edited model,
// SnapshotLock the applied copy; taken in that order, and re-entrant because the apply path
// re-enters them.
class KeyConfiguration {
public:
    KeyConfiguration();

    std::recursive_mutex modelLock;
    std::recursive_mutex snapshotLock;
    KeyModel edited;
    KeyModel applied;

    // Every record of the profile back to its default (the extra keys keep their tags).
    void resetProfileToDefaults(int profile);
    // Copies the edited model into the applied copy, taking both locks in order. The
    // deleted-macro mark is copied too; a write that sends all three key tables clears it on
    // both copies.
    void copyEditedToApplied();

    // Writes the macro memory and the key table(s) of the applied copy to the keyboard (taking
    // only the snapshot lock, so a caller may hold the model lock): all
    // three profiles when asked or when a used macro was deleted, else the active one. Sends
    // nothing when even the macros without names do not fit; sends them without names when
    // only the names do not.
    KeyWriteOutcome writeKeyConfiguration(bool allProfiles, device::DeviceLink& link,
                                          const protocol::DeviceMirrors& mirrors);
};

} // namespace velkan::model
