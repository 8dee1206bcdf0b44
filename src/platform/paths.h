// Where the program and the user's data live.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace velkan::platform {

// The folder of the running executable (the program folder: skins, help, language files).
std::filesystem::path programFolder();

// The per-user application-data folder: $XDG_DATA_HOME, else ~/.local/share (Windows: the
// roaming application-data folder). With a subfolder name (UTF-8), that folder inside it.
// Created when missing; nullopt when it cannot be.
std::optional<std::filesystem::path> userDataFolder(std::string_view subfolder = {});

// That folder as the system names it, not created; nullopt when the system cannot tell it.
std::optional<std::filesystem::path> userDataRoot();

// The per-user configuration folder: $XDG_CONFIG_HOME, else ~/.config (not created). Windows
// keeps settings in the registry; there it is the roaming application-data folder.
std::filesystem::path userConfigFolder();

// The per-user folder for sockets and lock files: $XDG_RUNTIME_DIR when it is a folder of this
// user that nobody else may write to, else /tmp/velkan-<uid> made so. nullopt when neither can
// be had safely. Linux only: the Windows backends name kernel objects instead.
std::optional<std::filesystem::path> userRuntimeFolder();

} // namespace velkan::platform
