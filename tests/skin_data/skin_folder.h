// Reading the generated skin folder the way the windows do.
#pragma once

#include "platform/atomic_file.h"
#include "platform/ini_file.h"

#include <QRect>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velkan::skingen {

inline const std::filesystem::path kSkinDir = VELKAN_SKIN_DIR;

inline platform::IniDocument readSkinIni(const std::string& name) {
    return platform::IniDocument::parse(
        platform::readWholeFile(kSkinDir / name).value_or(std::vector<std::uint8_t>{}));
}

// As the windows scan a rectangle: "%d,%d,%d,%d".
inline std::optional<QRect> rectOf(const std::optional<std::string>& value) {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    if (!value || std::sscanf(value->c_str(), "%d,%d,%d,%d", &x, &y, &w, &h) != 4) {
        return std::nullopt;
    }
    return QRect(x, y, w, h);
}

inline QRect buttonRect(const platform::IniDocument& ini, const std::string& key) {
    return rectOf(ini.value("BUTTONINFO", key)).value_or(QRect());
}

} // namespace velkan::skingen
