// The default skin as data: every window's size and shape, every control's skin key, rectangle,
// kind and caption, the panels drawn behind them, and every picture file with what it shows.
// The pictures and the INI files are both produced from this one table, so a rectangle in an
// INI file and the place where a button is drawn can never disagree.
//
// Where each window's keys are read:
//   Main.ini       [SCREEN] Main, Mask, Link; [BUTTONINFO] the key grid, window buttons and
//                  lighting panel; [BUTTONINFO2] the arrow origins; [SLIDER] LightTrack,
//                  LightThumb, SpeedTrack, SpeedThumb: the slider pictures
//   Composite.ini  [SCREEN] Main, Mask; [BUTTONINFO] the key assignment and macro pages
//   Profile.ini    [SCREEN] Main, Mask; [BUTTONINFO] the profile manager
//   UpdateDlg.ini  [SCREEN] Main, Mask; [BUTTONINFO] the firmware hand-off dialog
//   language.ini   [language] language
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velkan::skingen {

struct SkinRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    bool overlaps(const SkinRect& other) const;
    bool liesWithin(int width, int height) const;
    friend bool operator==(const SkinRect&, const SkinRect&) = default;
};

// How the window uses a control. Only image buttons are drawn into the window's state pictures;
// a sprite takes its face from a cell of a sprite sheet; controls and labels draw themselves
// over the background.
enum class ControlKind { imageButton, sprite, control, label };

// The face of an image button, or the backdrop drawn under a control.
enum class Look {
    none,
    keyCap,
    macroKey,     // a G key: a key cap with an accent legend
    button,       // blank body: the window draws its text
    accentButton, // the button that commits
    recordButton,
    tab,
    windowButton,
    indicator, // an LED with its legend
    swatch,
    logo,
    badge,
    banner, // the page picture of the key assignment dialog
    plate,
    field, // a recess under an edit box, list or drop-down
};

enum class Glyph {
    none,
    minimise,
    close,
    menu,
    help,
    list,
    plus,
    minus,
    folder,
    trash,
    eraser,
    toTop,
    up,
    down,
    toBottom,
    keyboard,
    globe,
    chat,
    left,
    right,
    flip,
    sun,
    drop,
    wave,
};

struct SkinControl {
    std::string key; // in the window's [BUTTONINFO]
    SkinRect rect;
    ControlKind kind = ControlKind::control;
    Look look = Look::none;
    std::string caption;    // drawn into the pictures; empty where the window draws the text
    std::string subCaption; // the shifted legend of a key cap
    Glyph glyph = Glyph::none;
    std::uint32_t colour = 0; // 0xRRGGBB of a swatch
};

enum class PanelStyle { titleBar, toolbar, keyboardBody, card, pageArea, footer };

struct SkinPanel {
    SkinRect rect;
    PanelStyle style;
    Glyph emblem = Glyph::none; // a card's sign in its top right corner
};

// The looks of a whole-window state picture: the four button states and the two per-key
// light looks of the colour mode.
enum class Face { normal, over, down, disabled, lightOff, lightOn };

// The page whose artwork the key assignment dialog's page picture shows.
enum class Page { none, key, macro, macroOnly, media, function };

enum class PictureContent {
    background,
    outline,
    windowState, // every image button in one face
    arrowSheet,
    lampOn,
    lampOff,
    busyFrame,
    sliderTrack,
    sliderThumb,
};

struct SkinPicture {
    std::string file;
    PictureContent content = PictureContent::windowState;
    Face face = Face::normal;
    Page page = Page::none;
    int frame = 0;          // of the busy animation, 0-9
    std::string sizeFrom;   // the control whose rectangle the picture fills, if any
    std::string iniSection; // where the window's INI file names the picture, if anywhere
    std::string iniKey;
};

// A cell of the arrow sprite sheet; its origin in [BUTTONINFO2] is the cell's top-left corner
// plus one, because a button copies its face from one pixel above and left of its origin.
struct SpriteCell {
    std::string originKey; // "UP_ARROW_LEFT1" ...: UP released, DOWN pressed; set 1 plain, 2 lit
    std::string spriteKey; // the sprite button the cell is for
    SkinRect cell;         // in the sheet
    bool pressed = false;
    bool lit = false;
};

struct IniValue {
    std::string section;
    std::string key;
    std::string value;
};

struct SkinWindow {
    std::string iniFile;
    int width = 0;
    int height = 0;
    int cornerRadius = 0;
    std::vector<SkinPanel> panels;
    std::vector<SkinControl> controls;
    std::vector<SkinPicture> pictures;
    std::vector<SpriteCell> spriteCells;
    std::vector<IniValue> values; // further INI values that name no picture
};

// Main, Composite, Profile and UpdateDlg, in that order.
const std::vector<SkinWindow>& skinWindows();

// language.ini: the language choice the main menu records, "0" for the first language.
inline constexpr const char* kLanguageFile = "language.ini";
const std::vector<IniValue>& languageFileValues();

// nullptr when the window has no control with that key.
const SkinControl* findControl(const SkinWindow& window, const std::string& key);

// Every [section] key=value the window's INI file holds, in writing order.
std::vector<IniValue> iniValues(const SkinWindow& window);

} // namespace velkan::skingen
