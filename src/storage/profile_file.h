// Profile files: one whole key configuration (the key image of all three profiles, the macro
// list and the texts of program and text-block keys) behind a checksummed header, written byte
// for byte as the model keeps it. The working file "$Profile0" in the application-data folder
// mirrors the keyboard; users export and import other "*.fwc" files.
//
// Every file is written to a temporary file beside it and renamed over it, so a crash or a
// full disk never leaves half a profile; a file is loaded only after the whole of it has been
// read and checked, so a short or inconsistent file never replaces the model.
#pragma once

#include "device/device_link.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "protocol/device_mirrors.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace velkan::storage {

inline constexpr std::string_view kAppDataFolderName = "Halvory";
inline constexpr std::string_view kWorkingFileName = "$Profile0";
inline constexpr std::size_t kProfileHeaderBytes = 32;
inline constexpr std::size_t kKeyImageBytes = sizeof(model::KeyImage);
inline constexpr std::size_t kMacroRecordBytes = sizeof(model::MacroRecord);

// What checkProfileFile found.
enum class [[nodiscard]] ProfileCheck{
    valid,
    // Missing, or of a size no profile file has.
    invalid,
    // The whole file is there but its header is not a profile's: the one case to tell the user
    // what is wrong with the file.
    wrongHeader,
    outOfMemory,
    unreadable,
};

// The per-user application-data folder of the program ($XDG_DATA_HOME/Halvory); nullopt when
// it cannot be had. Does not create it.
std::optional<std::filesystem::path> appDataFolderPath();
std::filesystem::path workingFilePath();

// The bytes of a profile file for a model: the header rewritten (macro count, blob size, flag
// 0, checksum), the value field of every program and text-block record set to its text's
// offset in the blob. The model itself is not changed.
std::vector<std::uint8_t> serializeProfile(const model::KeyModel& model);
// The model a file's bytes hold; nullopt when the bytes are not a complete, consistent
// profile (short body, a text offset outside the blob, a text without its end, ...).
std::optional<model::KeyModel> parseProfile(std::span<const std::uint8_t> bytes);
// The header test of checkProfileFile on a file's bytes (at least 32 of them).
bool profileHeaderValid(std::span<const std::uint8_t> bytes);

bool newProfileFile(const std::filesystem::path& path);
// A fresh image (and no macros, no texts) as the model.
void newProfileInMemory(model::KeyModel& model);
ProfileCheck checkProfileFile(const std::filesystem::path& path);
// Replaces the model by the file's contents; false, with the model untouched, when the file
// cannot be read whole or is not consistent.
bool loadProfileFile(const std::filesystem::path& path, model::KeyModel& model);
// Writes the edited model; takes the model lock when `lock` is set.
bool saveProfileFile(const std::filesystem::path& path, model::KeyConfiguration& configuration,
                     bool lock);
// The same for the working file, only when it exists already.
bool saveWorkingFile(model::KeyConfiguration& configuration, bool lock);
// Reads the three key tables and the macros from the keyboard into a new profile file.
bool backupKeyboardToFile(const std::filesystem::path& path, device::DeviceLink& link,
                          const protocol::DeviceMirrors& mirrors, const lang::TextLookup& texts);

} // namespace velkan::storage
