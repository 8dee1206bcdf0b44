#include "storage/profile_file.h"

#include "platform/atomic_file.h"
#include "platform/little_endian.h"
#include "platform/paths.h"
#include "protocol/command_report.h"
#include "protocol/command_set.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <system_error>

namespace velkan::storage {

namespace {

using platform::loadLe16;
using platform::loadLe32;
using platform::storeLe16;
using platform::storeLe32;

constexpr std::uint16_t kMagic = 0x4446;
constexpr std::uint16_t kFormatMajor = 3;
constexpr std::uint16_t kFormatMinor = 1;

// Header fields.
constexpr std::size_t kMagicAt = 0;
constexpr std::size_t kHeaderSizeAt = 2;
constexpr std::size_t kFormatMajorAt = 4;
constexpr std::size_t kFormatMinorAt = 6;
constexpr std::size_t kTotalSizeAt = 8;
constexpr std::size_t kRecordCountAt = 12;
constexpr std::size_t kMacroCountAt = 14;
constexpr std::size_t kBlobSizeAt = 16;
constexpr std::size_t kFlagAt = 30;
constexpr std::size_t kChecksumAt = 31;
constexpr std::uint8_t kMaxFlag = 1;

// Written into every file; nothing reads it back. The fifth value holds the first keyboard
// model's vendor and product ids.
constexpr std::array<std::uint32_t, 8> kDeviceBlockValues = {0x0020484B, 0x00008020, 0x02000004, 0,
                                                             0x50040C45, 0x000E1C4F, 0,          0};

constexpr std::size_t kRecordsAt = offsetof(model::KeyImage, records);
constexpr std::size_t kRecordBytes = sizeof(model::KeyAssignment);
constexpr std::size_t kActionBytes = sizeof(model::MacroAction);
constexpr std::size_t kUnitBytes = sizeof(char16_t);

// The header's 32-bit total size cannot describe anything larger.
constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{1} << 32;

// Program and text-block records whose text is not in the blob carry this in place of an
// offset, so that reading the file back gives them no text instead of refusing the file.
constexpr std::int32_t kNoText = -1;

bool hasText(const model::KeyAssignment& record) {
    const auto type = static_cast<model::AssignmentType>(record.type);
    return type == model::AssignmentType::startProgram || type == model::AssignmentType::textBlock;
}

std::uint8_t headerChecksum(std::span<const std::uint8_t> header) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kChecksumAt; ++i) {
        sum += header[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::uint64_t expectedFileBytes(std::uint64_t macroCount, std::uint64_t blobBytes) {
    return kKeyImageBytes + macroCount * kMacroRecordBytes + blobBytes;
}

void writeHeader(std::span<std::uint8_t> header, std::size_t macroCount, std::uint32_t blobBytes) {
    std::ranges::fill(header, std::uint8_t{0});
    storeLe16(header, kMagicAt, kMagic);
    storeLe16(header, kHeaderSizeAt, static_cast<std::uint16_t>(kProfileHeaderBytes));
    storeLe16(header, kFormatMajorAt, kFormatMajor);
    storeLe16(header, kFormatMinorAt, kFormatMinor);
    storeLe32(header, kTotalSizeAt,
              static_cast<std::uint32_t>(expectedFileBytes(macroCount, blobBytes)));
    storeLe16(header, kRecordCountAt, static_cast<std::uint16_t>(model::kRecordCount));
    storeLe16(header, kMacroCountAt, static_cast<std::uint16_t>(macroCount));
    storeLe32(header, kBlobSizeAt, blobBytes);
    header[kChecksumAt] = headerChecksum(header);
}

void writeDeviceBlock(std::span<std::uint8_t> block) {
    for (std::size_t i = 0; i < kDeviceBlockValues.size(); ++i) {
        storeLe32(block, 4 * i, kDeviceBlockValues[i]);
    }
}

void storeRecord(std::span<std::uint8_t> out, const model::KeyAssignment& record,
                 std::int32_t value) {
    storeLe16(out, 0, record.type);
    storeLe16(out, 2, record.aux);
    storeLe32(out, 4, static_cast<std::uint32_t>(value));
    storeLe32(out, 8, static_cast<std::uint32_t>(record.marker));
    storeLe32(out, 12, static_cast<std::uint32_t>(record.reserved));
}

model::KeyAssignment loadRecord(std::span<const std::uint8_t> in) {
    model::KeyAssignment record;
    record.type = loadLe16(in, 0);
    record.aux = loadLe16(in, 2);
    record.value = static_cast<std::int32_t>(loadLe32(in, 4));
    record.marker = static_cast<std::int32_t>(loadLe32(in, 8));
    record.reserved = static_cast<std::int32_t>(loadLe32(in, 12));
    return record;
}

// Macro records keep every byte, reserved fields and actions past the count included, so a
// file read and written again is unchanged.
void storeMacro(std::span<std::uint8_t> out, const model::MacroRecord& macro) {
    for (std::size_t i = 0; i < macro.name.size(); ++i) {
        storeLe16(out, kUnitBytes * i, macro.name[i]);
    }
    out[offsetof(model::MacroRecord, cycles)] = macro.cycles;
    out[offsetof(model::MacroRecord, reserved1)] = macro.reserved1;
    storeLe16(out, offsetof(model::MacroRecord, isNew), macro.isNew);
    storeLe16(out, offsetof(model::MacroRecord, repeatMode), macro.repeatMode);
    storeLe16(out, offsetof(model::MacroRecord, id), macro.id);
    storeLe16(out, offsetof(model::MacroRecord, actionCount), macro.actionCount);
    storeLe16(out, offsetof(model::MacroRecord, reserved2), macro.reserved2);
    std::size_t at = offsetof(model::MacroRecord, actions);
    for (const model::MacroAction& action : macro.actions) {
        storeLe32(out, at, action.delay);
        storeLe16(out, at + 4, action.key);
        storeLe16(out, at + 6, action.released);
        at += kActionBytes;
    }
}

void loadMacro(std::span<const std::uint8_t> in, model::MacroRecord& macro) {
    for (std::size_t i = 0; i < macro.name.size(); ++i) {
        macro.name[i] = static_cast<char16_t>(loadLe16(in, kUnitBytes * i));
    }
    macro.cycles = in[offsetof(model::MacroRecord, cycles)];
    macro.reserved1 = in[offsetof(model::MacroRecord, reserved1)];
    macro.isNew = loadLe16(in, offsetof(model::MacroRecord, isNew));
    macro.repeatMode = loadLe16(in, offsetof(model::MacroRecord, repeatMode));
    macro.id = loadLe16(in, offsetof(model::MacroRecord, id));
    macro.actionCount = loadLe16(in, offsetof(model::MacroRecord, actionCount));
    macro.reserved2 = loadLe16(in, offsetof(model::MacroRecord, reserved2));
    std::size_t at = offsetof(model::MacroRecord, actions);
    for (model::MacroAction& action : macro.actions) {
        action.delay = loadLe32(in, at);
        action.key = loadLe16(in, at + 4);
        action.released = loadLe16(in, at + 6);
        at += kActionBytes;
    }
}

// The text at `value` in the blob: offsets are rounded down to a whole UTF-16 unit, and the
// text must end with its 0 inside the blob. nullopt when it does not.
std::optional<std::u16string> textInBlob(std::span<const std::uint8_t> blob, std::int32_t value) {
    const auto start = static_cast<std::size_t>(value) & ~std::size_t{1};
    std::u16string text;
    for (std::size_t at = start; platform::rangeFits(blob.size(), at, kUnitBytes);
         at += kUnitBytes) {
        const auto unit = static_cast<char16_t>(loadLe16(blob, at));
        if (unit == u'\0') {
            return text;
        }
        text.push_back(unit);
    }
    return std::nullopt;
}

model::KeyModel freshModel() {
    model::KeyModel fresh;
    newProfileInMemory(fresh);
    return fresh;
}

std::optional<std::vector<std::uint8_t>> readProfileBytes(const std::filesystem::path& path) {
    try {
        return platform::readWholeFile(path, kMaxFileBytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<model::KeyModel> parseBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kKeyImageBytes) {
        return std::nullopt;
    }
    const std::size_t macroCount = loadLe16(bytes, kMacroCountAt);
    const std::uint32_t blobBytes = loadLe32(bytes, kBlobSizeAt);
    if (macroCount > model::kMaxMacros || bytes.size() < expectedFileBytes(macroCount, blobBytes)) {
        return std::nullopt;
    }
    const std::size_t blobAt = kKeyImageBytes + macroCount * kMacroRecordBytes;
    const auto blob = bytes.subspan(blobAt, blobBytes);

    model::KeyModel parsed;
    std::ranges::copy(bytes.first(kProfileHeaderBytes), parsed.image.fileHeader.begin());
    std::ranges::copy(bytes.subspan(kProfileHeaderBytes, kProfileHeaderBytes),
                      parsed.image.deviceBlock.begin());
    // Records may share a text, but together they may not claim more than the blob holds:
    // that bounds what a small file can make the model hold, and saving it again fits.
    std::uint64_t textBytes = 0;
    for (std::size_t n = 0; n < model::kRecordCount; ++n) {
        const model::KeyAssignment record =
            loadRecord(bytes.subspan(kRecordsAt + kRecordBytes * n, kRecordBytes));
        parsed.image.records[n] = record;
        if (!hasText(record) || record.value == kNoText) {
            continue;
        }
        if (record.value < 0) {
            return std::nullopt;
        }
        auto text = textInBlob(blob, record.value);
        if (!text) {
            return std::nullopt;
        }
        if (!text->empty()) {
            textBytes += (text->size() + 1) * kUnitBytes;
        }
        if (textBytes > blobBytes) {
            return std::nullopt;
        }
        parsed.strings.entries[n] = std::move(*text);
    }

    parsed.macros.resize(macroCount);
    for (std::size_t slot = 0; slot < macroCount; ++slot) {
        model::MacroRecord& macro = parsed.macros[slot];
        loadMacro(bytes.subspan(kKeyImageBytes + slot * kMacroRecordBytes, kMacroRecordBytes),
                  macro);
        // Everything that walks the actions trusts the count within the record's room.
        if (macro.actionCount > model::kMaxMacroActions) {
            return std::nullopt;
        }
    }
    return parsed;
}

} // namespace

std::optional<std::filesystem::path> appDataFolderPath() {
    // Only the base folder is made here; the program's own folder is created by whoever finds
    // it missing, because that step also seeds it with the colour files.
    auto base = platform::userDataFolder();
    if (!base) {
        return std::nullopt;
    }
    return *base / kAppDataFolderName;
}

std::filesystem::path workingFilePath() {
    const auto folder = appDataFolderPath();
    return folder ? *folder / kWorkingFileName : std::filesystem::path{};
}

std::vector<std::uint8_t> serializeProfile(const model::KeyModel& model) {
    const std::size_t macroCount = std::min(model.macros.size(), model::kMaxMacros);
    const std::size_t blobBytes = model.strings.totalBytes();
    const std::size_t blobAt = kKeyImageBytes + macroCount * kMacroRecordBytes;
    std::vector<std::uint8_t> bytes(blobAt + blobBytes, 0);
    const std::span<std::uint8_t> out(bytes);

    writeHeader(out.first(kProfileHeaderBytes), macroCount, static_cast<std::uint32_t>(blobBytes));
    writeDeviceBlock(out.subspan(kProfileHeaderBytes, kProfileHeaderBytes));

    const std::span<std::uint8_t> blob = out.subspan(blobAt);
    std::size_t blobUsed = 0;
    for (std::size_t n = 0; n < model::kRecordCount; ++n) {
        const model::KeyAssignment& record = model.image.records[n];
        std::int32_t value = record.value;
        if (hasText(record)) {
            value = kNoText;
            const std::u16string& text = model.strings.entries[n];
            const std::size_t size = (text.size() + 1) * kUnitBytes;
            if (!text.empty() && platform::rangeFits(blob.size(), blobUsed, size)) {
                for (std::size_t i = 0; i < text.size(); ++i) {
                    storeLe16(blob, blobUsed + kUnitBytes * i, text[i]);
                }
                value = static_cast<std::int32_t>(blobUsed);
                blobUsed += size;
            }
        }
        storeRecord(out.subspan(kRecordsAt + kRecordBytes * n, kRecordBytes), record, value);
    }

    for (std::size_t slot = 0; slot < macroCount; ++slot) {
        storeMacro(out.subspan(kKeyImageBytes + slot * kMacroRecordBytes, kMacroRecordBytes),
                   model.macros[slot]);
    }
    return bytes;
}

std::optional<model::KeyModel> parseProfile(std::span<const std::uint8_t> bytes) {
    try {
        return parseBytes(bytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool profileHeaderValid(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kProfileHeaderBytes) {
        return false;
    }
    const std::uint32_t total = loadLe32(bytes, kTotalSizeAt);
    const std::uint16_t macroCount = loadLe16(bytes, kMacroCountAt);
    return loadLe16(bytes, kMagicAt) == kMagic &&
           loadLe16(bytes, kHeaderSizeAt) == kProfileHeaderBytes &&
           loadLe16(bytes, kFormatMajorAt) == kFormatMajor &&
           loadLe16(bytes, kFormatMinorAt) == kFormatMinor && total >= kKeyImageBytes &&
           loadLe16(bytes, kRecordCountAt) == model::kRecordCount &&
           macroCount <= model::kMaxMacros && bytes[kFlagAt] <= kMaxFlag &&
           total == expectedFileBytes(macroCount, loadLe32(bytes, kBlobSizeAt)) &&
           bytes[kChecksumAt] == headerChecksum(bytes);
}

bool newProfileFile(const std::filesystem::path& path) {
    return platform::writeFileAtomically(path, serializeProfile(freshModel()));
}

void newProfileInMemory(model::KeyModel& model) {
    model::initKeyImage(model.image);
    writeHeader(model.image.fileHeader, 0, 0);
    writeDeviceBlock(model.image.deviceBlock);
    model.strings = {};
    model.macros.clear();
    model.macroDeleted = false;
}

ProfileCheck checkProfileFile(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        return ProfileCheck::invalid;
    }
    if (!std::filesystem::is_regular_file(status)) {
        return ProfileCheck::unreadable;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return ProfileCheck::unreadable;
    }
    if (size > kMaxFileBytes || size < kKeyImageBytes) {
        return ProfileCheck::invalid;
    }
    std::optional<std::vector<std::uint8_t>> bytes;
    try {
        bytes = platform::readWholeFile(path, kMaxFileBytes);
    } catch (const std::bad_alloc&) {
        return ProfileCheck::outOfMemory;
    }
    if (!bytes) {
        return ProfileCheck::unreadable;
    }
    // The file may have shrunk since its size was taken.
    if (bytes->size() < kKeyImageBytes) {
        return ProfileCheck::invalid;
    }
    if (!profileHeaderValid(*bytes)) {
        return ProfileCheck::wrongHeader;
    }
    return ProfileCheck::valid;
}

bool loadProfileFile(const std::filesystem::path& path, model::KeyModel& model) {
    const auto bytes = readProfileBytes(path);
    if (!bytes) {
        return false;
    }
    auto parsed = parseProfile(*bytes);
    if (!parsed) {
        return false;
    }
    model.image = parsed->image;
    model.strings = std::move(parsed->strings);
    model.macros = std::move(parsed->macros);
    return true;
}

bool saveProfileFile(const std::filesystem::path& path, model::KeyConfiguration& configuration,
                     bool lock) {
    // Held across the write as well, so two saves of one model reach the disk in order.
    std::unique_lock guard(configuration.modelLock, std::defer_lock);
    if (lock) {
        guard.lock();
    }
    return platform::writeFileAtomically(path, serializeProfile(configuration.edited));
}

bool saveWorkingFile(model::KeyConfiguration& configuration, bool lock) {
    const std::filesystem::path path = workingFilePath();
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    return saveProfileFile(path, configuration, lock);
}

bool backupKeyboardToFile(const std::filesystem::path& path, device::DeviceLink& link,
                          const protocol::DeviceMirrors& mirrors, const lang::TextLookup& texts) {
    // The file has a bank for a fourth profile, so a keyboard that reports one is still read.
    const int active = model::activeProfile(link);
    if (active < 0 || active > model::kProfileCount) {
        return false;
    }
    std::array<protocol::KeyTableImage, protocol::kBankCount> tables{};
    for (int bank = 0; bank < protocol::kBankCount; ++bank) {
        if (protocol::readKeyTable(link, tables[static_cast<std::size_t>(bank)], bank) !=
            protocol::CommandResult::success) {
            return false;
        }
    }

    std::array<std::uint8_t, model::kMacroMemoryHeaderBytes> header{};
    if (protocol::readMacroArea(link, header) != protocol::CommandResult::success) {
        return false;
    }
    model::KeyModel backup = freshModel();
    if (loadLe16(header, 0) == model::kMacroMemoryMagic) {
        // The length field is 16 bits, so the read stays inside the keyboard's address space.
        std::vector<std::uint8_t> image(loadLe16(header, 2));
        if (protocol::readMacroArea(link, image) != protocol::CommandResult::success) {
            return false;
        }
        backup.macros = model::decodeMacroMemory(image, texts);
    }

    const protocol::KeyTableImage factory = mirrors.defaultKeyTable();
    for (int bank = 0; bank < protocol::kBankCount; ++bank) {
        model::decodeKeyTable(tables[static_cast<std::size_t>(bank)], bank, backup.image, factory,
                              link.keyCount);
    }
    return platform::writeFileAtomically(path, serializeProfile(backup));
}

} // namespace velkan::storage
