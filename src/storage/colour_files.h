// The small files of the application-data folder that keep what the keyboard cannot: the
// settings file "wskb.ini" (the per-key colour view switch) and one user-colour file per
// lighting page, "UserDengColor_<page>.userd", with the user's named colour modes and their
// key colours. A template "UserDengColor_3.userd" in the program's "Skins" folder supplies
// their first contents. Values are decimal text; a missing file or key gives the default.
#pragma once

#include "device/device_link.h"
#include "model/lighting.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace velkan::storage {

struct ModeTools {
    bool tool = false;               // the colour tool switch of the lighting panel
    model::ColourRef toolColour = 0; // "jcolor"
    model::ColourRef colour = 0;     // "color"
};

struct KeyColour {
    model::ColourRef colour = model::colourRef(255, 0, 0);
    bool on = true;
};

class ColourFiles {
public:
    // `appDataFolder` holds the files; `templateFile` is the shipped template.
    ColourFiles(std::filesystem::path appDataFolder, std::filesystem::path templateFile);

    // The program's files: the application-data folder, and the template in the "Skins"
    // folder beside the executable.
    static ColourFiles forProgram();

    // First run: creates the folder when missing and copies the template to each of the
    // user-colour files of pages 0, 1 and 2 that does not exist yet. False when the folder
    // cannot be made.
    bool ensureFolder() const;

    std::filesystem::path userColourPath(int page) const;
    std::filesystem::path settingsPath() const; // "wskb.ini"

    // Numbers in the files are read leniently, since users and other tools edit them: each
    // comma-separated field is blanks, an optional sign and decimal digits; a field that is
    // missing or not such a number takes the default's field, colour channels are clamped to
    // 0-255, a present mode below 0 reads as 0, and a switch is on when its number is not 0.
    // Pages outside 0-2 read as defaults and are never written.
    int readPresentMode(int page) const;
    void writePresentMode(int page, int mode) const;
    std::string readModeName(int page, int mode) const;
    void writeModeName(int page, int mode, std::string_view name) const;
    ModeTools readModeTools(int page, int mode) const;
    void writeModeTools(int page, int mode, const ModeTools& tools) const;
    KeyColour readKeyColour(int page, int mode, int position) const;
    void writeKeyColour(int page, int mode, int position, const KeyColour& colour) const;
    bool readPerKeyViewSwitch() const;
    void writePerKeyViewSwitch(bool on) const;
    // Copies the template byte for byte over the page's user-colour file.
    bool resetUserColours(int page) const;

    // The colours of loadUserMode, without sending: `page` becomes the lighting copy's current
    // page, and the positions of the standard keys, the extra keys and the logo in it take the
    // colours of the page's present user mode. Nothing changes for a page outside 0-2.
    void fillUserModeColours(int page, model::Lighting& lighting) const;
    // Loads the page's present user mode: its tools, and the colours of the 106 standard
    // keys, the extra keys and the logo into the lighting copy's per-key page; then sends the
    // page to the keyboard.
    ModeTools loadUserMode(int page, model::Lighting& lighting, device::DeviceLink& link) const;

private:
    std::filesystem::path folder_;
    std::filesystem::path template_;
};

} // namespace velkan::storage
