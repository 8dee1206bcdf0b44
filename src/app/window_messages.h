// The commands of the main window's menu.
#pragma once

#include <QtGlobal>

namespace velkan::app {

namespace command {
inline constexpr int kAbout = 32773;
inline constexpr int kImport = 32776;
inline constexpr int kExport = 32777;
inline constexpr int kMenuExit = 32779;
inline constexpr int kFirmwareUpdate = 32780;
} // namespace command

} // namespace velkan::app
