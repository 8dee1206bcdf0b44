// The profile manager without its window: the rows it lists, the list it keeps in the
// application's profile store ("PROFILES": "PROFILE00" the row count, "PROFILE01".. the full
// path of each row), the file dialogs of Add and Load, the profile list menu of the main
// window, and the switch of the keyboard's key profile that the main window asks for.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "storage/app_profile.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkan::storage {

inline constexpr std::string_view kProfileListSection = "PROFILES";
inline constexpr std::string_view kProfileFileExtension = "fwc";
// The file dialogs' filter of profile files, for import and export as well.
inline constexpr std::string_view kProfileFileFilter = "(*.fwc)|*.fwc|(*.*)|*.*||";

// The open or save dialog of profile files ("fwc", their filter); a save asks before
// overwriting. An empty folder leaves the dialog where it last was.
lang::FileDialogRequest profileFileRequest(bool save, std::string initialName,
                                           std::filesystem::path folder);

// A profile file as the manager lists it: its name without folder and extension, and its
// folder. The path kept for it is always the folder, the name and ".fwc".
struct ProfileRow {
    std::string name;
    std::filesystem::path folder;

    static ProfileRow ofFile(const std::filesystem::path& file);
    std::filesystem::path storedPath() const;

    friend bool operator==(const ProfileRow&, const ProfileRow&) = default;
};

// The rows the manager opens with: one for each keyboard profile, every one the working file,
// since that one file holds all three profiles.
std::vector<ProfileRow> rowsOfWorkingFile(const std::filesystem::path& workingFile);

// "PROFILE" and the number in two digits: 00 is the count, row r is number r + 1.
std::string profileListEntry(int number);
// Stores every row under its number, then the count. False when the store refused a value.
bool storeProfileList(AppProfile& profile, std::span<const ProfileRow> rows);
// The stored paths by row; a row whose entry is missing is an empty path. The count is read
// as 0 when it is not a number, and never exceeds what the profile list menu can show.
std::vector<std::filesystem::path> readProfileList(const AppProfile& profile);

// Add: the dialog that names a new profile file, offered in the application-data folder,
// which is made and seeded first when it is missing.
lang::FileDialogRequest newProfileRequest(const lang::TextLookup& texts);
// The row of the file the user named, created fresh; nothing when it cannot be created.
std::optional<ProfileRow> addNewProfile(const std::filesystem::path& chosen);
// Load: the dialog that picks an existing file; the file's content is not examined.
lang::FileDialogRequest existingProfileRequest();

struct ProfileMenuEntry {
    // The stored row the entry switches to; none for the heading.
    std::optional<int> row;
    std::string text;
    // Only the keyboard's three profiles can be switched to; the first entry is a heading.
    bool enabled = false;

    friend bool operator==(const ProfileMenuEntry&, const ProfileMenuEntry&) = default;
};
// The entries of the profile list menu, from the stored list.
std::vector<ProfileMenuEntry> profileMenuEntries(const AppProfile& profile,
                                                 const lang::TextLookup& texts);
} // namespace velkan::storage
