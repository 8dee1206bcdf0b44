// What every part of the running program shares: the paths derived from the program folder
// and the user's data folder, the per-user settings and the single-instance lock.
#pragma once

#include "platform/settings_store.h"
#include "platform/single_instance.h"
#include "storage/app_profile.h"

#include <cstdint>
#include <filesystem>
#include <utility>

namespace velkan::app {

// The per-user key of the language settings (with its one trailing blank).
inline constexpr std::string_view kUserSettingsKey = "Software\\Halvory ";
// The name of the single-instance lock.
inline constexpr std::string_view kInstanceLockName = "QT40M17C";
// The companion process started beside the program, when it is installed.
inline constexpr std::string_view kCompanionName = "Tallowd";

struct AppPaths {
    std::filesystem::path programFolder;
    std::filesystem::path helpFolder;
    std::filesystem::path skinFolder;
    std::filesystem::path mainSkin;
    std::filesystem::path profileSkin;
    std::filesystem::path updateSkin;
    std::filesystem::path keySkin;
    std::filesystem::path macroSkin;
    std::filesystem::path compositeSkin;
    std::filesystem::path programColourPrefix; // "Skins/UserDengColor_"
    std::filesystem::path packageFolder;
    std::filesystem::path companion;
    std::filesystem::path iconFolder;
    // Empty until the main window initialises (the folder is made then).
    std::filesystem::path userDataFolder;
    std::filesystem::path userSettingsFile; // "wskb.ini"
    std::filesystem::path userColourPrefix;

    static AppPaths forProgramFolder(const std::filesystem::path& programFolder);
    // Fills the per-user paths; false when the user's data folder cannot be had.
    bool addUserPaths();
};

struct AppGlobals {
    AppGlobals(AppPaths programPaths, platform::SettingsStore& store)
        : paths(std::move(programPaths)), settings(store) {}

    AppPaths paths;
    platform::SettingsStore& settings;
    storage::AppProfile appProfile{settings};
    platform::InstanceLock instanceLock;
};

} // namespace velkan::app
