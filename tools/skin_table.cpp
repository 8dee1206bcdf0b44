#include "skin_table.h"

#include "model/key_codes.h"

#include <cstdio>
#include <utility>

namespace velkan::skingen {

bool SkinRect::overlaps(const SkinRect& other) const {
    return x < other.x + other.w && other.x < x + w && y < other.y + other.h && other.y < y + h;
}

bool SkinRect::liesWithin(int width, int height) const {
    // A button copies its face from one pixel above and left of its rectangle, so (0, 0) is
    // no place for a rectangle either.
    return x >= 1 && y >= 1 && w > 0 && h > 0 && x + w <= width && y + h <= height;
}

namespace {

SkinControl imageButton(std::string key, SkinRect rect, Look look, Glyph glyph = Glyph::none,
                        std::string caption = {}) {
    SkinControl control;
    control.key = std::move(key);
    control.rect = rect;
    control.kind = ControlKind::imageButton;
    control.look = look;
    control.glyph = glyph;
    control.caption = std::move(caption);
    return control;
}

SkinControl swatch(std::string key, SkinRect rect, std::uint32_t colour) {
    SkinControl control = imageButton(std::move(key), rect, Look::swatch);
    control.colour = colour;
    return control;
}

SkinControl plainControl(std::string key, SkinRect rect, Look look = Look::none) {
    SkinControl control;
    control.key = std::move(key);
    control.rect = rect;
    control.look = look;
    return control;
}

SkinControl label(std::string key, SkinRect rect) {
    SkinControl control = plainControl(std::move(key), rect);
    control.kind = ControlKind::label;
    return control;
}

SkinControl spriteButton(std::string key, SkinRect rect) {
    SkinControl control = plainControl(std::move(key), rect);
    control.kind = ControlKind::sprite;
    return control;
}

SkinPicture statePicture(std::string file, Face face, Page page = Page::none) {
    SkinPicture picture;
    picture.file = std::move(file);
    picture.face = face;
    picture.page = page;
    return picture;
}

SkinPicture picture(std::string file, PictureContent content, std::string sizeFrom = {},
                    std::string section = {}, std::string key = {}) {
    SkinPicture result;
    result.file = std::move(file);
    result.content = content;
    result.sizeFrom = std::move(sizeFrom);
    result.iniSection = std::move(section);
    result.iniKey = std::move(key);
    return result;
}

void addFrame(SkinWindow& window, const std::string& stem) {
    window.pictures.push_back(
        picture(stem + "_back.jpg", PictureContent::background, {}, "SCREEN", "Main"));
    window.pictures.push_back(
        picture(stem + "_mask.bmp", PictureContent::outline, {}, "SCREEN", "Mask"));
}

// ---- Main window -------------------------------------------------------------------------

constexpr int kMainWidth = 1060;
constexpr int kMainHeight = 712;

// The key grid: one unit is a plain key's pitch, caps leave a gap of kKeyGap between them.
constexpr int kUnit = 40;
constexpr int kKeyGap = 4;
constexpr int kKeyboardLeft = 108;
constexpr int kKeyboardTop = 124;

// Columns, rows, widths and heights in quarters of a unit: a standard full-size board with
// the two extra keys of the international layouts beside the shift keys.
struct KeySpot {
    model::KeyCode code; // 0 for Fn, which the keyboard handles itself
    int col;
    int row;
    int width;
    int height;
    const char* legend;
    const char* shifted;
};

constexpr KeySpot kKeySpots[] = {
    // Function row.
    {0x001, 0, 0, 4, 4, "Esc", ""},
    {0x03B, 8, 0, 4, 4, "F1", ""},
    {0x03C, 12, 0, 4, 4, "F2", ""},
    {0x03D, 16, 0, 4, 4, "F3", ""},
    {0x03E, 20, 0, 4, 4, "F4", ""},
    {0x03F, 26, 0, 4, 4, "F5", ""},
    {0x040, 30, 0, 4, 4, "F6", ""},
    {0x041, 34, 0, 4, 4, "F7", ""},
    {0x042, 38, 0, 4, 4, "F8", ""},
    {0x043, 44, 0, 4, 4, "F9", ""},
    {0x044, 48, 0, 4, 4, "F10", ""},
    {0x057, 52, 0, 4, 4, "F11", ""},
    {0x058, 56, 0, 4, 4, "F12", ""},
    {0x137, 62, 0, 4, 4, "PrtSc", ""},
    {0x046, 66, 0, 4, 4, "ScrLk", ""},
    {0x045, 70, 0, 4, 4, "Pause", ""},
    // Number row.
    {0x029, 0, 6, 4, 4, "`", "~"},
    {0x002, 4, 6, 4, 4, "1", "!"},
    {0x003, 8, 6, 4, 4, "2", "@"},
    {0x004, 12, 6, 4, 4, "3", "#"},
    {0x005, 16, 6, 4, 4, "4", "$"},
    {0x006, 20, 6, 4, 4, "5", "%"},
    {0x007, 24, 6, 4, 4, "6", "^"},
    {0x008, 28, 6, 4, 4, "7", "&"},
    {0x009, 32, 6, 4, 4, "8", "*"},
    {0x00A, 36, 6, 4, 4, "9", "("},
    {0x00B, 40, 6, 4, 4, "0", ")"},
    {0x00C, 44, 6, 4, 4, "-", "_"},
    {0x00D, 48, 6, 4, 4, "=", "+"},
    {0x00E, 52, 6, 8, 4, "Backspace", ""},
    {0x152, 62, 6, 4, 4, "Ins", ""},
    {0x147, 66, 6, 4, 4, "Home", ""},
    {0x149, 70, 6, 4, 4, "PgUp", ""},
    {0x145, 76, 6, 4, 4, "Num", ""},
    {0x135, 80, 6, 4, 4, "/", ""},
    {0x037, 84, 6, 4, 4, "*", ""},
    {0x04A, 88, 6, 4, 4, "\u2212", ""},
    // Top letter row.
    {0x00F, 0, 10, 6, 4, "Tab", ""},
    {0x010, 6, 10, 4, 4, "Q", ""},
    {0x011, 10, 10, 4, 4, "W", ""},
    {0x012, 14, 10, 4, 4, "E", ""},
    {0x013, 18, 10, 4, 4, "R", ""},
    {0x014, 22, 10, 4, 4, "T", ""},
    {0x015, 26, 10, 4, 4, "Y", ""},
    {0x016, 30, 10, 4, 4, "U", ""},
    {0x017, 34, 10, 4, 4, "I", ""},
    {0x018, 38, 10, 4, 4, "O", ""},
    {0x019, 42, 10, 4, 4, "P", ""},
    {0x01A, 46, 10, 4, 4, "[", "{"},
    {0x01B, 50, 10, 4, 4, "]", "}"},
    {0x02B, 54, 10, 6, 4, "\\", "|"},
    {0x153, 62, 10, 4, 4, "Del", ""},
    {0x14F, 66, 10, 4, 4, "End", ""},
    {0x151, 70, 10, 4, 4, "PgDn", ""},
    {0x047, 76, 10, 4, 4, "7", ""},
    {0x048, 80, 10, 4, 4, "8", ""},
    {0x049, 84, 10, 4, 4, "9", ""},
    {0x04E, 88, 10, 4, 8, "+", ""},
    // Home row.
    {0x03A, 0, 14, 7, 4, "Caps Lock", ""},
    {0x01E, 7, 14, 4, 4, "A", ""},
    {0x01F, 11, 14, 4, 4, "S", ""},
    {0x020, 15, 14, 4, 4, "D", ""},
    {0x021, 19, 14, 4, 4, "F", ""},
    {0x022, 23, 14, 4, 4, "G", ""},
    {0x023, 27, 14, 4, 4, "H", ""},
    {0x024, 31, 14, 4, 4, "J", ""},
    {0x025, 35, 14, 4, 4, "K", ""},
    {0x026, 39, 14, 4, 4, "L", ""},
    {0x027, 43, 14, 4, 4, ";", ":"},
    {0x028, 47, 14, 4, 4, "'", "\""},
    {0x01C, 51, 14, 9, 4, "Enter", ""},
    {0x04B, 76, 14, 4, 4, "4", ""},
    {0x04C, 80, 14, 4, 4, "5", ""},
    {0x04D, 84, 14, 4, 4, "6", ""},
    // Bottom letter row.
    {0x02A, 0, 18, 5, 4, "Shift", ""},
    {0x056, 5, 18, 4, 4, "\\", "|"},
    {0x02C, 9, 18, 4, 4, "Z", ""},
    {0x02D, 13, 18, 4, 4, "X", ""},
    {0x02E, 17, 18, 4, 4, "C", ""},
    {0x02F, 21, 18, 4, 4, "V", ""},
    {0x030, 25, 18, 4, 4, "B", ""},
    {0x031, 29, 18, 4, 4, "N", ""},
    {0x032, 33, 18, 4, 4, "M", ""},
    {0x033, 37, 18, 4, 4, ",", "<"},
    {0x034, 41, 18, 4, 4, ".", ">"},
    {0x035, 45, 18, 4, 4, "/", "?"},
    {0x073, 49, 18, 4, 4, "\\", "_"},
    {0x036, 53, 18, 7, 4, "Shift", ""},
    {0x148, 66, 18, 4, 4, "\u2191", ""},
    {0x04F, 76, 18, 4, 4, "1", ""},
    {0x050, 80, 18, 4, 4, "2", ""},
    {0x051, 84, 18, 4, 4, "3", ""},
    {0x11C, 88, 18, 4, 8, "Enter", ""},
    // Space row.
    {0x01D, 0, 22, 5, 4, "Ctrl", ""},
    {0x15B, 5, 22, 5, 4, "Win", ""},
    {0x038, 10, 22, 5, 4, "Alt", ""},
    {0x039, 15, 22, 25, 4, "", ""},
    {0x138, 40, 22, 4, 4, "Alt", ""},
    {0x15C, 44, 22, 4, 4, "Win", ""},
    {0, 48, 22, 4, 4, "Fn", ""},
    {0x15D, 52, 22, 4, 4, "App", ""},
    {0x11D, 56, 22, 4, 4, "Ctrl", ""},
    {0x14B, 62, 22, 4, 4, "\u2190", ""},
    {0x150, 66, 22, 4, 4, "\u2193", ""},
    {0x14D, 70, 22, 4, 4, "\u2192", ""},
    {0x052, 76, 22, 8, 4, "0", ""},
    {0x053, 84, 22, 4, 4, ".", ""},
};

SkinRect keyRect(const KeySpot& spot) {
    return {kKeyboardLeft + spot.col * kUnit / 4, kKeyboardTop + spot.row * kUnit / 4,
            spot.width * kUnit / 4 - kKeyGap, spot.height * kUnit / 4 - kKeyGap};
}

std::string keyButtonKey(model::KeyCode code) {
    if (code == 0) {
        return "KEY_FN";
    }
    char name[16];
    std::snprintf(name, sizeof name, "KEY_%03X", unsigned{model::keyIndexFromCode(code)});
    return name;
}

void addKeyGrid(SkinWindow& window) {
    // Nine G keys down the left edge, in three groups of three, as tall as the key grid.
    constexpr int kGKeyHeight = 24;
    constexpr int kGKeyPitch = 28;
    constexpr int kGGroupPitch = 88;
    for (int g = 0; g < 9; ++g) {
        const std::string number = std::to_string(g + 1);
        auto key = imageButton(
            "FUNC_G" + number,
            {32, kKeyboardTop + g / 3 * kGGroupPitch + g % 3 * kGKeyPitch, 60, kGKeyHeight},
            Look::macroKey, Glyph::none, "G" + number);
        window.controls.push_back(std::move(key));
    }
    for (const auto& spot : kKeySpots) {
        auto key =
            imageButton(keyButtonKey(spot.code), keyRect(spot),
                        spot.code == 0 ? Look::macroKey : Look::keyCap, Glyph::none, spot.legend);
        key.subCaption = spot.shifted;
        window.controls.push_back(std::move(key));
    }
    // The lock lights sit above the keypad, where a keyboard has them.
    const char* const lights[] = {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB"};
    const char* const legends[] = {"CAPS", "NUM", "SCRL", "A/B"};
    for (int i = 0; i < 4; ++i) {
        window.controls.push_back(imageButton(lights[i], {868 + i * 40, kKeyboardTop + 5, 36, 26},
                                              Look::indicator, Glyph::none, legends[i]));
    }
}

void addMainButtons(SkinWindow& window) {
    auto& c = window.controls;
    // Title bar.
    c.push_back(imageButton("VOLTRA_LINK", {20, 11, 124, 28}, Look::logo, Glyph::none, "VELKAN"));
    c.push_back(imageButton("VOLTRA_VER", {152, 17, 96, 18}, Look::badge));
    c.push_back(imageButton("CONTROL_MENU", {906, 12, 30, 24}, Look::windowButton, Glyph::menu));
    c.push_back(imageButton("CONTROL_HELP", {940, 12, 30, 24}, Look::windowButton, Glyph::help));
    c.push_back(
        imageButton("CONTROL_MINIMIZE", {974, 12, 30, 24}, Look::windowButton, Glyph::minimise));
    c.push_back(imageButton("CONTROL_CLOSE", {1008, 12, 30, 24}, Look::windowButton, Glyph::close));
    // Tool bar: the profiles, the editors and the mode switch, then Flip.
    for (int p = 0; p < 3; ++p) {
        c.push_back(imageButton("FUNC_PROFILE" + std::to_string(p + 1), {20 + p * 90, 60, 84, 30},
                                Look::tab));
    }
    c.push_back(imageButton("FUNC_PROFILES", {290, 60, 36, 30}, Look::button, Glyph::list));
    c.push_back(imageButton("FUNC_MACRO", {338, 60, 100, 30}, Look::button));
    c.push_back(imageButton("FUNC_DEFAULT", {444, 60, 100, 30}, Look::button));
    c.push_back(imageButton("FUNC_SWITCH", {556, 60, 150, 30}, Look::button));
    c.push_back(imageButton("FLIP_1", {930, 60, 30, 30}, Look::button, Glyph::left));
    c.push_back(imageButton("FLIP_0", {964, 60, 42, 30}, Look::badge, Glyph::flip));
    c.push_back(imageButton("FLIP_2", {1010, 60, 30, 30}, Look::button, Glyph::right));
    // Foot: links, the busy bar and the closing buttons.
    c.push_back(imageButton("CONTROL_Facebook", {20, 666, 30, 30}, Look::button, Glyph::chat));
    c.push_back(imageButton("CONTROL_twitter", {56, 666, 30, 30}, Look::button, Glyph::globe));
    c.push_back(plainControl("CONTROL_JDTStatic", {640, 675, 120, 12}));
    c.push_back(imageButton("CONTROL2_APPLY", {776, 664, 84, 32}, Look::accentButton));
    c.push_back(imageButton("CONTROL_OK", {866, 664, 84, 32}, Look::button));
    c.push_back(imageButton("CONTROL_CANCEL", {956, 664, 84, 32}, Look::button));
}

void addLightingPanel(SkinWindow& window) {
    auto& c = window.controls;
    // Effect card: mode, brightness, speed, the light switch and the connection line.
    c.push_back(plainControl("CONTROL_XGcombox", {36, 434, 276, 26}, Look::field));
    c.push_back(label("CONTROL_LightStatic", {36, 478, 84, 20}));
    c.push_back(plainControl("CONTROL_LightSlider", {124, 474, 212, 28}));
    c.push_back(label("CONTROL_SpeedStatic", {36, 516, 84, 20}));
    c.push_back(plainControl("CONTROL_SpeedSlider", {124, 512, 212, 28}));
    c.push_back(label("CONTROL_DengStatic", {36, 556, 84, 20}));
    c.push_back(plainControl("CONTROL_DengStaPic", {124, 552, 52, 28}));
    c.push_back(label("CONTROL_UsbStatic", {36, 598, 300, 20}));

    // Colour card: the value boxes, the presets and the colour options of each effect; the
    // options of different effects share places, since only one effect's are shown.
    c.push_back(label("CONTROL_RGBStatic", {376, 437, 36, 20}));
    // The boxes draw their own frames: the effects without a colour hide them.
    c.push_back(plainControl("COLOR_R", {416, 434, 56, 26}));
    c.push_back(plainControl("COLOR_G", {478, 434, 56, 26}));
    c.push_back(plainControl("COLOR_B", {540, 434, 56, 26}));
    constexpr std::uint32_t kPresets[] = {0xEB631E, 0xFF0000, 0x007EFF, 0x5AFF00,
                                          0xEAFF00, 0xFFC000, 0xFF00B4, 0xAE00FF};
    for (int i = 0; i < 8; ++i) {
        c.push_back(swatch("CONTROL_Color" + std::to_string(i + 1), {376 + i * 38, 472, 30, 30},
                           kPresets[i]));
    }
    constexpr SkinRect kOptionLabel{376, 518, 150, 20};
    constexpr SkinRect kOptionColour{532, 514, 64, 26};
    for (const char* effect : {"FYYS", "HXys", "JTys", "USERys", "TSys", "CDys"}) {
        c.push_back(label(std::string("CONTROL_") + effect + "Static", kOptionLabel));
        c.push_back(plainControl(std::string("CONTROL_") + effect + "Button", kOptionColour));
    }
    constexpr SkinRect kSecondLabel{376, 554, 150, 20};
    for (const char* effect : {"FYSJS", "HXsjs", "TSsjs", "CDsjs"}) {
        c.push_back(label(std::string("CONTROL_") + effect + "Static", kSecondLabel));
        c.push_back(plainControl(std::string("CONTROL_") + effect + "StaPic", {532, 550, 26, 26}));
    }
    c.push_back(label("CONTROL_USERjsStatic", kSecondLabel));
    c.push_back(plainControl("CONTROL_USERjsButton", {532, 550, 64, 26}));
    c.push_back(label("CONTROL_FYCFStatic", {376, 590, 90, 20}));
    c.push_back(label("CONTROL_FYdjcfStatic", {470, 590, 70, 20}));
    c.push_back(plainControl("CONTROL_FYdjcfStaPic", {542, 589, 22, 22}));
    c.push_back(label("CONTROL_FYggcfStatc", {572, 590, 70, 20}));
    c.push_back(plainControl("CONTROL_FYggcfStaPic", {644, 589, 22, 22}));
    c.push_back(label("CONTROL_USERgjStatic", {376, 590, 90, 20}));
    c.push_back(plainControl("CONTROL_USERgjStaPic1", {470, 589, 22, 22}));
    c.push_back(plainControl("CONTROL_USERgjStaPic2", {500, 589, 22, 22}));
    c.push_back(plainControl("CONTROL_umCombo", {376, 616, 220, 24}));

    // Pattern card: the effect's own pictures (three layouts in one place), direction, the
    // four colour choices and the report selector.
    for (const char* set : {"", "2", "3"}) {
        c.push_back(label(std::string("CONTROL_BLFXStatic") + set, {724, 437, 90, 20}));
        c.push_back(plainControl(std::string("CONTROL_BLFXLStaPic") + set, {820, 434, 26, 26}));
        c.push_back(plainControl(std::string("CONTROL_BLFXRStaPic") + set, {852, 434, 26, 26}));
    }
    c.push_back(spriteButton("LEFT_ARROW", {724, 472, 40, 30}));
    c.push_back(spriteButton("RIGHT_ARROW", {770, 472, 40, 30}));
    const char* const choices[] = {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC",
                                   "CONTROL_LANPIC"};
    for (int i = 0; i < 4; ++i) {
        c.push_back(plainControl(choices[i], {852 + i * 34, 474, 26, 26}));
    }
    for (int i = 0; i < 4; ++i) {
        c.push_back(imageButton("FUNC_REPORT" + std::to_string(i + 1), {724 + i * 56, 516, 50, 28},
                                Look::tab, Glyph::none, std::to_string(i + 1)));
    }
}

void addArrowSheet(SkinWindow& window) {
    // One row per arrow, one column per (set, state): released, pressed, lit released, lit
    // pressed. The margin keeps every origin away from (1, 1), the origin of a missing key.
    constexpr int kMargin = 4;
    const struct {
        const char* side;
        const char* sprite;
    } arrows[] = {{"LEFT", "LEFT_ARROW"}, {"RIGHT", "RIGHT_ARROW"}};
    for (int row = 0; row < 2; ++row) {
        const SkinRect button = findControl(window, arrows[row].sprite)->rect;
        for (int column = 0; column < 4; ++column) {
            SpriteCell cell;
            const bool pressed = column % 2 == 1;
            const int set = column / 2 + 1;
            cell.originKey = std::string(pressed ? "DOWN_ARROW_" : "UP_ARROW_") + arrows[row].side +
                             std::to_string(set);
            cell.spriteKey = arrows[row].sprite;
            cell.cell = {kMargin + column * button.w, kMargin + row * button.h, button.w, button.h};
            cell.pressed = pressed;
            cell.lit = set == 2;
            window.spriteCells.push_back(std::move(cell));
        }
    }
}

SkinWindow mainWindow() {
    SkinWindow window;
    window.iniFile = "Main.ini";
    window.width = kMainWidth;
    window.height = kMainHeight;
    window.cornerRadius = 16;
    window.panels = {
        {{0, 0, kMainWidth, 48}, PanelStyle::titleBar},
        {{0, 48, kMainWidth, 52}, PanelStyle::toolbar},
        {{20, 108, 1020, 296}, PanelStyle::keyboardBody},
        {{20, 418, 332, 232}, PanelStyle::card, Glyph::sun},
        {{360, 418, 340, 232}, PanelStyle::card, Glyph::drop},
        {{708, 418, 332, 232}, PanelStyle::card, Glyph::wave},
        {{0, 656, kMainWidth, 56}, PanelStyle::footer},
    };
    addKeyGrid(window);
    addMainButtons(window);
    addLightingPanel(window);
    addArrowSheet(window);

    addFrame(window, "main");
    window.pictures.push_back(statePicture("main_normal.jpg", Face::normal));
    window.pictures.push_back(statePicture("main_over.jpg", Face::over));
    window.pictures.push_back(statePicture("main_down.jpg", Face::down));
    window.pictures.push_back(statePicture("main_disable.jpg", Face::disabled));
    window.pictures.push_back(statePicture("main_color0.jpg", Face::lightOff));
    window.pictures.push_back(statePicture("main_color1.jpg", Face::lightOn));
    window.pictures.push_back(picture("Arrow.jpg", PictureContent::arrowSheet));
    // The light switch has a pair for the steady mode, one for mode 12 and one for the rest;
    // the default skin draws them alike.
    for (const char* suffix : {"", "18", "12"}) {
        window.pictures.push_back(picture(std::string("dengup") + suffix + ".bmp",
                                          PictureContent::lampOn, "CONTROL_DengStaPic"));
        window.pictures.push_back(picture(std::string("dengdown") + suffix + ".bmp",
                                          PictureContent::lampOff, "CONTROL_DengStaPic"));
    }
    for (int frame = 0; frame < 10; ++frame) {
        auto busy = picture("jdt" + std::to_string(frame + 1) + ".bmp", PictureContent::busyFrame,
                            "CONTROL_JDTStatic");
        busy.frame = frame;
        window.pictures.push_back(std::move(busy));
    }
    const struct {
        const char* name;
        const char* stem;
    } sliders[] = {{"Light", "slider_light"}, {"Speed", "slider_speed"}};
    for (const auto& slider : sliders) {
        const std::string control = std::string("CONTROL_") + slider.name + "Slider";
        const std::string stem = slider.stem;
        window.pictures.push_back(picture(stem + "_track.png", PictureContent::sliderTrack, control,
                                          "SLIDER", std::string(slider.name) + "Track"));
        window.pictures.push_back(picture(stem + "_thumb.png", PictureContent::sliderThumb, control,
                                          "SLIDER", std::string(slider.name) + "Thumb"));
    }
    // Replace it with the maker's own page.
    window.values.push_back({"SCREEN", "Link", "https://example.com/velkan/"});
    return window;
}

// ---- Key assignment dialog ----------------------------------------------------------------

SkinWindow compositeWindow() {
    SkinWindow window;
    window.iniFile = "Composite.ini";
    window.width = 480;
    window.height = 400;
    window.cornerRadius = 12;
    window.panels = {
        {{0, 0, 480, 44}, PanelStyle::titleBar},
        {{8, 86, 464, 262}, PanelStyle::pageArea},
        {{0, 350, 480, 50}, PanelStyle::footer},
    };
    auto& c = window.controls;
    c.push_back(imageButton("CONTROL_TITLE", {16, 9, 300, 26}, Look::plate));
    c.push_back(imageButton("CONTROL_OSK", {428, 8, 36, 28}, Look::windowButton, Glyph::keyboard));
    c.push_back(imageButton("CONTROL_KEY", {16, 50, 106, 30}, Look::tab));
    c.push_back(imageButton("CONTROL_MACRO", {128, 50, 106, 30}, Look::tab));
    c.push_back(imageButton("CONTROL_MEDIA", {240, 50, 106, 30}, Look::tab));
    c.push_back(imageButton("CONTROL_FUNCTION", {352, 50, 112, 30}, Look::tab));
    c.push_back(imageButton("CONTROL_MASK", {16, 94, 448, 40}, Look::banner));
    // The page prompts lie on the page picture, with room for a second line.
    for (const char* prompt : {"TISHI_SINGLE_STATIC", "MEDIA_SETTING_TISHI",
                               "FUNCTION_KEY_SETTING_TISHI", "MARCO_NAME_SETTING"}) {
        c.push_back(label(prompt, {64, 96, 392, 36}));
    }
    // The pages share one background, so their controls get no recess of their own.
    // Single key page.
    c.push_back(label("KEY_SETTING", {40, 148, 200, 20}));
    c.push_back(plainControl("FUNC_KEY_INPUT", {40, 174, 400, 40}));
    c.push_back(plainControl("FUNC_KEY_RADIO_KB", {44, 234, 16, 16}));
    c.push_back(label("FUNC_KEY_RADIO_KB_STATIC", {66, 232, 160, 20}));
    c.push_back(plainControl("FUNC_KEY_RADIO_MOU", {44, 268, 16, 16}));
    c.push_back(label("FUNC_KEY_RADIO_MOU_STATIC", {66, 266, 160, 20}));
    // Multimedia and function pages.
    c.push_back(plainControl("FUNC_MEDIA_SELECT", {40, 174, 400, 28}));
    c.push_back(plainControl("FUNC_FUNCTION_SELECT", {40, 174, 400, 28}));
    // Macro page.
    c.push_back(plainControl("FUNC_MACRO_LIST", {16, 144, 204, 26}));
    c.push_back(imageButton("FUNC_MACRO_ADD", {226, 144, 28, 26}, Look::button, Glyph::plus));
    c.push_back(imageButton("FUNC_MACRO_DELETE", {258, 144, 28, 26}, Look::button, Glyph::minus));
    c.push_back(plainControl("FUNC_MACRO_LIST2", {16, 178, 270, 162}));
    c.push_back(imageButton("FUNC_MACRO_RECORD", {298, 144, 166, 30}, Look::recordButton));
    c.push_back(imageButton("FUNC_MACRO_DELETE2", {298, 180, 166, 28}, Look::button));
    c.push_back(imageButton("FUNC_MACRO_CLEAR", {298, 216, 30, 28}, Look::button, Glyph::eraser));
    c.push_back(imageButton("FUNC_MACRO_UP_TOP", {332, 216, 30, 28}, Look::button, Glyph::toTop));
    c.push_back(imageButton("FUNC_MACRO_UP", {366, 216, 30, 28}, Look::button, Glyph::up));
    c.push_back(imageButton("FUNC_MACRO_DOWN", {400, 216, 30, 28}, Look::button, Glyph::down));
    c.push_back(
        imageButton("FUNC_MACRO_DOWN_BOTTOM", {434, 216, 30, 28}, Look::button, Glyph::toBottom));
    c.push_back(label("FUNC_MACRO_CYCLES_PROMPT", {298, 258, 100, 22}));
    c.push_back(plainControl("FUNC_MACRO_CYCLES", {404, 256, 60, 26}));
    c.push_back(plainControl("FUNC_MACRO_RECORD_DELAY", {300, 296, 16, 16}));
    c.push_back(label("FUNC_MACRO_RECORD_DELAY2", {322, 294, 142, 20}));
    // Foot.
    c.push_back(imageButton("CONTROL_CLEAR", {16, 360, 40, 30}, Look::button, Glyph::eraser));
    c.push_back(imageButton("CONTROL_OK", {262, 360, 98, 30}, Look::accentButton));
    c.push_back(imageButton("CONTROL_CANCEL", {366, 360, 98, 30}, Look::button));

    addFrame(window, "composite");
    const struct {
        const char* stem;
        Page page;
        bool ownDisabled;
    } sets[] = {{"key", Page::key, false},
                {"macro", Page::macro, true},
                {"macro2", Page::macroOnly, true},
                {"media", Page::media, false},
                {"function", Page::function, false}};
    for (const auto& set : sets) {
        const std::string stem = set.stem;
        window.pictures.push_back(statePicture(stem + "_normal.jpg", Face::normal, set.page));
        window.pictures.push_back(statePicture(stem + "_over.jpg", Face::over, set.page));
        window.pictures.push_back(statePicture(stem + "_down.jpg", Face::down, set.page));
        if (set.ownDisabled) {
            window.pictures.push_back(
                statePicture(stem + "_disable.jpg", Face::disabled, set.page));
        }
    }
    return window;
}

// ---- Profile manager and firmware hand-off -------------------------------------------------

SkinWindow profileWindow() {
    SkinWindow window;
    window.iniFile = "Profile.ini";
    window.width = 470;
    window.height = 300;
    window.cornerRadius = 12;
    window.panels = {{{0, 0, 470, 40}, PanelStyle::titleBar},
                     {{0, 248, 470, 52}, PanelStyle::footer}};
    auto& c = window.controls;
    c.push_back(plainControl("PROGRAM_LIST", {16, 52, 438, 186}, Look::field));
    c.push_back(imageButton("FUNC_ADD", {16, 258, 36, 30}, Look::button, Glyph::plus));
    c.push_back(imageButton("FUNC_LOAD", {58, 258, 36, 30}, Look::button, Glyph::folder));
    c.push_back(imageButton("FUNC_DELETE", {100, 258, 36, 30}, Look::button, Glyph::trash));
    c.push_back(imageButton("CONTROL2_APPLY", {190, 258, 84, 30}, Look::button));
    c.push_back(imageButton("CONTROL_OK", {280, 258, 84, 30}, Look::accentButton));
    c.push_back(imageButton("CONTROL_CANCEL", {370, 258, 84, 30}, Look::button));
    addFrame(window, "profile");
    window.pictures.push_back(statePicture("Profile_normal.jpg", Face::normal));
    window.pictures.push_back(statePicture("Profile_over.jpg", Face::over));
    window.pictures.push_back(statePicture("Profile_down.jpg", Face::down));
    return window;
}

SkinWindow updateWindow() {
    SkinWindow window;
    window.iniFile = "UpdateDlg.ini";
    window.width = 440;
    window.height = 210;
    window.cornerRadius = 12;
    window.panels = {{{0, 0, 440, 40}, PanelStyle::titleBar},
                     {{0, 152, 440, 58}, PanelStyle::footer}};
    auto& c = window.controls;
    // Two lines of text: what to do, in which order.
    c.push_back(label("CONTROL_UPStatic", {24, 48, 392, 40}));
    c.push_back(plainControl("CONTROL_UPCombox", {24, 98, 350, 26}, Look::field));
    c.push_back(imageButton("CONTROL_OPENButton", {380, 98, 36, 26}, Look::button, Glyph::folder));
    c.push_back(imageButton("CONTROL_BACKUPButton", {24, 166, 120, 30}, Look::button));
    c.push_back(imageButton("CONTROL_UPButton", {172, 166, 118, 30}, Look::accentButton));
    c.push_back(imageButton("CONTROL_CUPButton", {296, 166, 120, 30}, Look::button));
    addFrame(window, "update");
    // The window shows the second picture for every state but the normal one.
    window.pictures.push_back(statePicture("update_normal.jpg", Face::normal));
    window.pictures.push_back(statePicture("update_over.jpg", Face::over));
    return window;
}

} // namespace

const std::vector<SkinWindow>& skinWindows() {
    static const std::vector<SkinWindow> windows = {mainWindow(), compositeWindow(),
                                                    profileWindow(), updateWindow()};
    return windows;
}

const std::vector<IniValue>& languageFileValues() {
    static const std::vector<IniValue> values = {{"language", "language", "0"}};
    return values;
}

const SkinControl* findControl(const SkinWindow& window, const std::string& key) {
    for (const auto& control : window.controls) {
        if (control.key == key) {
            return &control;
        }
    }
    return nullptr;
}

std::vector<IniValue> iniValues(const SkinWindow& window) {
    std::vector<IniValue> values;
    const auto rectText = [](const SkinRect& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.w) + "," +
               std::to_string(r.h);
    };
    for (const auto& picture : window.pictures) {
        if (!picture.iniSection.empty()) {
            values.push_back({picture.iniSection, picture.iniKey, picture.file});
        }
    }
    values.insert(values.end(), window.values.begin(), window.values.end());
    for (const auto& control : window.controls) {
        values.push_back({"BUTTONINFO", control.key, rectText(control.rect)});
    }
    for (const auto& cell : window.spriteCells) {
        const SkinRect origin{cell.cell.x + 1, cell.cell.y + 1, cell.cell.w, cell.cell.h};
        values.push_back({"BUTTONINFO2", cell.originKey, rectText(origin)});
    }
    return values;
}

} // namespace velkan::skingen
