#include "app/app_globals.h"

#include "platform/paths.h"
#include "platform/process.h"

namespace velkan::app {

AppPaths AppPaths::forProgramFolder(const std::filesystem::path& programFolder) {
    AppPaths paths;
    paths.programFolder = programFolder;
    paths.helpFolder = programFolder / "Help";
    paths.skinFolder = programFolder / "Skins";
    paths.mainSkin = paths.skinFolder / "Main.ini";
    paths.profileSkin = paths.skinFolder / "Profile.ini";
    paths.updateSkin = paths.skinFolder / "UpdateDlg.ini";
    paths.keySkin = paths.skinFolder / "Key.ini";
    paths.macroSkin = paths.skinFolder / "Macro.ini";
    paths.compositeSkin = paths.skinFolder / "Composite.ini";
    paths.programColourPrefix = paths.skinFolder / "UserDengColor_";
    paths.packageFolder = programFolder / "Package";
    paths.companion = programFolder / platform::executableFile(kCompanionName);
    paths.iconFolder = programFolder / "Icons";
    return paths;
}

bool AppPaths::addUserPaths() {
    const auto folder = platform::userDataFolder("Halvory");
    if (!folder) {
        return false;
    }
    userDataFolder = *folder;
    userSettingsFile = *folder / "wskb.ini";
    userColourPrefix = *folder / "UserDengColor_";
    return true;
}

} // namespace velkan::app
