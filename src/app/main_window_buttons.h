// The main window's own buttons, each a named member, placed from the skin by one table of
// skin key -> member, and their captions from the language file.
#pragma once

#include "lang/text_lookup.h"

#include <array>
#include <string_view>

namespace velkan::skin {
class ImageButton;
class SkinnedDialog;
} // namespace velkan::skin

namespace velkan::app {

// A button of the main window with the window's button pictures, where the skin places
// `skinKey`; a key the skin does not place leaves it disabled.
skin::ImageButton* placeMainButton(skin::SkinnedDialog& window, std::string_view skinKey);

struct MainWindowButtons {
    using Button = skin::ImageButton*;

    Button ok = nullptr;
    Button cancel = nullptr;
    Button profiles = nullptr;
    Button apply = nullptr;
    Button macro = nullptr;
    Button link = nullptr;
    Button help = nullptr;
    Button minimise = nullptr;
    Button close = nullptr;
    Button menu = nullptr;
    Button flipShown = nullptr;
    Button flip1 = nullptr;
    Button flip2 = nullptr;
    Button profile1 = nullptr;
    Button profile2 = nullptr;
    Button profile3 = nullptr;
    Button defaults = nullptr;
    Button colourSwitch = nullptr;
    Button community1 = nullptr;
    Button community2 = nullptr;
    // The badge beside the logo: the program's version, never pressed.
    Button version = nullptr;

    // Makes every button on `window` where its skin places it, named after its member.
    static MainWindowButtons create(skin::SkinnedDialog& window);
    std::array<Button, 3> profileButtons() const { return {profile1, profile2, profile3}; }
    // The captions and tooltips in the current language.
    void showTexts(const lang::TextLookup& texts) const;
    // The colour switch names the mode the key picture shows.
    void showColourMode(const lang::TextLookup& texts, bool colourMode) const;
    // The active profile's button looks selected.
    void markProfile(int profile) const;
};

} // namespace velkan::app
