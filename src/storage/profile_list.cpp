#include "storage/profile_list.h"

#include "model/key_assignment.h"
#include "storage/colour_files.h"
#include "storage/profile_file.h"

#include <algorithm>
#include <cstdio>

namespace velkan::storage {

namespace {

constexpr int kCountNumber = 0;
// As many rows as the profile menu ever listed.
constexpr int kMaxStoredRows = 200;

std::filesystem::path dataFolder() {
    return appDataFolderPath().value_or(std::filesystem::path{});
}

std::string dottedExtension() {
    return "." + std::string(kProfileFileExtension);
}

} // namespace

lang::FileDialogRequest profileFileRequest(bool save, std::string initialName,
                                           std::filesystem::path folder) {
    lang::FileDialogRequest request;
    request.save = save;
    request.defaultExtension = std::string(kProfileFileExtension);
    request.initialName = std::move(initialName);
    request.filter = std::string(kProfileFileFilter);
    request.folder = std::move(folder);
    // A profile is written fresh over whatever file the user picks.
    request.confirmOverwrite = save;
    return request;
}

ProfileRow ProfileRow::ofFile(const std::filesystem::path& file) {
    return {file.stem().string(), file.parent_path()};
}

std::filesystem::path ProfileRow::storedPath() const {
    return folder / (name + dottedExtension());
}

std::vector<ProfileRow> rowsOfWorkingFile(const std::filesystem::path& workingFile) {
    return std::vector<ProfileRow>(model::kProfileCount, ProfileRow::ofFile(workingFile));
}

std::string profileListEntry(int number) {
    char entry[32]; // room for any int, so the name is never cut
    std::snprintf(entry, sizeof entry, "PROFILE%02d", number);
    return entry;
}

bool storeProfileList(AppProfile& profile, std::span<const ProfileRow> rows) {
    bool stored = true;
    int number = kCountNumber;
    for (const ProfileRow& row : rows) {
        stored = profile.writeString(kProfileListSection, profileListEntry(++number),
                                     row.storedPath().string()) &&
                 stored;
    }
    return profile.writeInt(kProfileListSection, profileListEntry(kCountNumber), number) && stored;
}

std::vector<std::filesystem::path> readProfileList(const AppProfile& profile) {
    const int count = std::clamp(
        profile.readInt(kProfileListSection, profileListEntry(kCountNumber), 0), 0, kMaxStoredRows);
    std::vector<std::filesystem::path> paths;
    for (int number = 1; number <= count; ++number) {
        paths.emplace_back(
            profile.readString(kProfileListSection, profileListEntry(number)).value_or(""));
    }
    return paths;
}

lang::FileDialogRequest newProfileRequest(const lang::TextLookup& texts) {
    // Without the folder the dialog still opens, wherever it last was.
    ColourFiles::forProgram().ensureFolder();
    return profileFileRequest(true, texts.text("PROFILE_NEW"), dataFolder());
}

std::optional<ProfileRow> addNewProfile(const std::filesystem::path& chosen) {
    if (!newProfileFile(chosen)) {
        return std::nullopt;
    }
    return ProfileRow::ofFile(chosen);
}

lang::FileDialogRequest existingProfileRequest() {
    return profileFileRequest(false, "*" + dottedExtension(), dataFolder());
}

std::vector<ProfileMenuEntry> profileMenuEntries(const AppProfile& profile,
                                                 const lang::TextLookup& texts) {
    std::vector<ProfileMenuEntry> entries = {
        {std::nullopt, texts.text("DEFAULT_PROFILE_NAME"), false}};
    const auto paths = readProfileList(profile);
    for (std::size_t row = 0; row < paths.size(); ++row) {
        // A damaged entry is left out; the entries after it still switch to their own rows.
        if (paths[row].empty()) {
            continue;
        }
        entries.push_back({static_cast<int>(row), paths[row].stem().string(),
                           row < static_cast<std::size_t>(model::kProfileCount)});
    }
    return entries;
}

} // namespace velkan::storage
