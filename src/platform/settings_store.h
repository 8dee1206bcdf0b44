// The per-user settings store: typed values (32-bit numbers and texts) under key paths such as
// "Software\Halvory ". On Windows the registry under HKEY_CURRENT_USER; on Linux, in its
// place, one file under $XDG_CONFIG_HOME, rewritten atomically on every change. Safe to use
// from several threads.
//
// Windows: the user's store is HKEY_CURRENT_USER itself, so "Software\Halvory " is the key
// HKEY_CURRENT_USER\Software\Halvory . A store given a file keeps its keys apart under
// HKEY_CURRENT_USER\Software\velkan\Stores\<the file's path, '\' made '/'>, so that stores on
// different files never see each other's values, as on Linux.
//
// Linux: the file is UTF-8 text in INI form, like a registry export: one section per key path, one
// line per value, the type written before the value:
//     [Software\Halvory%20]
//     dwLanguageId=dword:00000409
//     Title=sz:two%0Alines
// Names and texts are percent-escaped where the INI form would lose or misread them ('%',
// control characters, a blank at either end, and in names "=[];@"); the unnamed value is "@".
// Key paths and names match without regard to ASCII case, as registry keys do.
//
// Every read reads the file again, so a value another process wrote is seen at once; the file
// is small. Each change re-reads, edits and replaces the file while holding an advisory lock on
// "<file>.lock", so stores in other threads or processes never lose each other's changes.
// Lines the store cannot read are kept as they are; a file that exists but cannot be read is
// never replaced.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace velkan::platform {

class SettingsStore {
public:
    // A store kept in `file`; the file is read on first use and created on the first write.
    // (Windows: the registry key of that file, as above.)
    explicit SettingsStore(std::filesystem::path file);

    // The current user's store: "$XDG_CONFIG_HOME/velkan/settings.ini" (~/.config when unset);
    // on Windows HKEY_CURRENT_USER, with an empty file().
    static SettingsStore& currentUser();

    // nullopt when the value is missing or is not of that type.
    std::optional<std::uint32_t> readDword(std::string_view keyPath, std::string_view name);
    std::optional<std::string> readString(std::string_view keyPath, std::string_view name);
    // False when the store cannot be written; the file then keeps its old content.
    bool writeDword(std::string_view keyPath, std::string_view name, std::uint32_t value);
    bool writeString(std::string_view keyPath, std::string_view name, std::string_view value);

    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    std::mutex mutex_;
};

} // namespace velkan::platform
