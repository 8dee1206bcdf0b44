// The skin folder the build generates, against what the windows read from it: every INI key
// and every picture, rectangles that fit their windows, outlines that cut the corners, and
// pictures that are the layout table's own.
#include "model/key_codes.h"
#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "skin_data/skin_folder.h"
#include "skin_painter.h"
#include "skin_table.h"

#include <QImage>
#include <QImageReader>
#include <QRect>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace velkan::skingen {
namespace {

namespace fs = std::filesystem;

QSize pictureSize(const std::string& name) {
    return QImageReader(QString::fromStdString((kSkinDir / name).string())).size();
}

std::string printed(const char* format, int number) {
    char text[32];
    std::snprintf(text, sizeof text, format, number);
    return text;
}

// What each window reads from its skin file, and the state pictures it loads.
struct WindowContract {
    std::string ini;
    std::vector<std::string> keys;
    std::vector<std::string> statePictures;
};

std::vector<WindowContract> contracts() {
    std::vector<std::string> mainKeys = {
        // Window buttons.
        "VOLTRA_LINK", "VOLTRA_VER", "FUNC_PROFILES", "FUNC_MACRO", "CONTROL_OK", "CONTROL_CANCEL",
        "CONTROL_HELP", "CONTROL_CLOSE", "CONTROL_MINIMIZE", "CONTROL_MENU", "CONTROL2_APPLY",
        "LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB", "FLIP_0", "FLIP_1", "FLIP_2",
        "FUNC_PROFILE1", "FUNC_PROFILE2", "FUNC_PROFILE3", "FUNC_DEFAULT", "FUNC_SWITCH",
        "FUNC_REPORT1", "FUNC_REPORT2", "FUNC_REPORT3", "FUNC_REPORT4", "KEY_FN", "COLOR_R",
        "COLOR_G", "COLOR_B", "LEFT_ARROW", "RIGHT_ARROW",
        // Lighting panel.
        "CONTROL_UsbStatic", "CONTROL_RGBStatic", "CONTROL_DengStatic", "CONTROL_DengStaPic",
        "CONTROL_XGcombox", "CONTROL_JDTStatic", "CONTROL_LightStatic", "CONTROL_LightSlider",
        "CONTROL_SpeedStatic", "CONTROL_SpeedSlider", "CONTROL_BLFXStatic", "CONTROL_BLFXLStaPic",
        "CONTROL_BLFXRStaPic", "CONTROL_BLFXStatic2", "CONTROL_BLFXLStaPic2",
        "CONTROL_BLFXRStaPic2", "CONTROL_BLFXStatic3", "CONTROL_BLFXLStaPic3",
        "CONTROL_BLFXRStaPic3", "CONTROL_FYYSStatic", "CONTROL_FYYSButton", "CONTROL_FYSJSStaPic",
        "CONTROL_FYSJSStatic", "CONTROL_FYCFStatic", "CONTROL_FYdjcfStatic", "CONTROL_FYggcfStatc",
        "CONTROL_FYdjcfStaPic", "CONTROL_FYggcfStaPic", "CONTROL_HONGPIC", "CONTROL_HUANGPIC",
        "CONTROL_LVPIC", "CONTROL_LANPIC", "CONTROL_HXysStatic", "CONTROL_HXysButton",
        "CONTROL_HXsjsStatic", "CONTROL_HXsjsStaPic", "CONTROL_JTysStatic", "CONTROL_JTysButton",
        "CONTROL_USERysStatic", "CONTROL_USERysButton", "CONTROL_USERjsStatic",
        "CONTROL_USERjsButton", "CONTROL_USERgjStatic", "CONTROL_USERgjStaPic1",
        "CONTROL_USERgjStaPic2", "CONTROL_Facebook", "CONTROL_twitter", "CONTROL_TSysStatic",
        "CONTROL_TSysButton", "CONTROL_TSsjsStatic", "CONTROL_TSsjsStaPic", "CONTROL_CDysStatic",
        "CONTROL_CDysButton", "CONTROL_CDsjsStatic", "CONTROL_CDsjsStaPic", "CONTROL_umCombo"};
    for (int i = 1; i <= 8; ++i) {
        mainKeys.push_back(printed("CONTROL_Color%d", i));
    }
    for (int g = 1; g <= 9; ++g) {
        mainKeys.push_back(printed("FUNC_G%d", g));
    }
    for (const auto& position : model::KeyPositionList()) {
        mainKeys.push_back(printed("KEY_%03X", model::keyIndexFromCode(position.code)));
    }
    const std::vector<std::string> compositeKeys = {
        // Key assignment pages.
        "CONTROL_MASK", "CONTROL_TITLE", "CONTROL_OSK", "CONTROL_KEY", "CONTROL_MACRO",
        "CONTROL_MEDIA", "CONTROL_FUNCTION", "CONTROL_CLEAR", "CONTROL_OK", "CONTROL_CANCEL",
        "FUNC_KEY_INPUT", "FUNC_KEY_RADIO_KB", "FUNC_KEY_RADIO_KB_STATIC", "FUNC_KEY_RADIO_MOU",
        "FUNC_KEY_RADIO_MOU_STATIC", "FUNC_MEDIA_SELECT", "FUNC_FUNCTION_SELECT",
        "TISHI_SINGLE_STATIC", "MEDIA_SETTING_TISHI", "FUNCTION_KEY_SETTING_TISHI", "KEY_SETTING",
        "MARCO_NAME_SETTING",
        // Macro page.
        "FUNC_MACRO_LIST", "FUNC_MACRO_ADD", "FUNC_MACRO_DELETE", "FUNC_MACRO_LIST2",
        "FUNC_MACRO_RECORD", "FUNC_MACRO_DELETE2", "FUNC_MACRO_CLEAR", "FUNC_MACRO_UP_TOP",
        "FUNC_MACRO_UP", "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM", "FUNC_MACRO_RECORD_DELAY",
        "FUNC_MACRO_RECORD_DELAY2", "FUNC_MACRO_CYCLES", "FUNC_MACRO_CYCLES_PROMPT"};
    std::vector<std::string> compositePictures = {"macro_disable.jpg", "macro2_disable.jpg"};
    for (const char* set : {"key", "macro", "macro2", "media", "function"}) {
        for (const char* state : {"normal", "over", "down"}) {
            compositePictures.push_back(std::string(set) + "_" + state + ".jpg");
        }
    }
    return {{"Main.ini",
             mainKeys,
             {"main_normal.jpg", "main_over.jpg", "main_down.jpg", "main_disable.jpg",
              "main_color0.jpg", "main_color1.jpg"}},
            {"Composite.ini", compositeKeys, compositePictures},
            {"Profile.ini",
             {"CONTROL_OK", "CONTROL_CANCEL", "FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE",
              "CONTROL2_APPLY", "PROGRAM_LIST"},
             {"Profile_normal.jpg", "Profile_over.jpg", "Profile_down.jpg"}},
            {"UpdateDlg.ini",
             {"CONTROL_UPStatic", "CONTROL_UPCombox", "CONTROL_CUPButton", "CONTROL_UPButton",
              "CONTROL_OPENButton", "CONTROL_BACKUPButton"},
             {"update_normal.jpg", "update_over.jpg"}}};
}

std::vector<std::string> arrowOriginKeys() {
    std::vector<std::string> keys;
    for (const char* base :
         {"UP_ARROW_LEFT", "DOWN_ARROW_LEFT", "UP_ARROW_RIGHT", "DOWN_ARROW_RIGHT"}) {
        for (int set = 1; set <= 2; ++set) {
            keys.push_back(base + std::to_string(set));
        }
    }
    return keys;
}

TEST(SkinFolderTest, IniFilesHoldEveryKeyTheWindowsRead) {
    for (const auto& contract : contracts()) {
        SCOPED_TRACE(contract.ini);
        const auto ini = readSkinIni(contract.ini);
        EXPECT_FALSE(ini.value("SCREEN", "Main").value_or("").empty());
        EXPECT_FALSE(ini.value("SCREEN", "Mask").value_or("").empty());
        for (const auto& key : contract.keys) {
            const auto rect = rectOf(ini.value("BUTTONINFO", key));
            ASSERT_TRUE(rect.has_value()) << key;
            EXPECT_GT(rect->width(), 0) << key;
            EXPECT_GT(rect->height(), 0) << key;
            // (1, 1) is what a missing key reads as, and hides an image button.
            EXPECT_FALSE(rect->x() == 1 && rect->y() == 1) << key;
        }
    }
    const auto main = readSkinIni("Main.ini");
    EXPECT_EQ(main.value("SCREEN", "Link").value_or("").rfind("https://", 0), 0u);
    for (const auto& key : arrowOriginKeys()) {
        EXPECT_TRUE(rectOf(main.value("BUTTONINFO2", key)).has_value()) << key;
    }
    EXPECT_EQ(readSkinIni("language.ini").value("language", "language"), "0");
}

TEST(SkinFolderTest, IniFilesAreUtf16WithByteOrderMark) {
    for (const char* name :
         {"Main.ini", "Composite.ini", "Profile.ini", "UpdateDlg.ini", "language.ini"}) {
        const auto bytes = platform::readWholeFile(kSkinDir / name);
        ASSERT_TRUE(bytes.has_value() && bytes->size() > 2) << name;
        EXPECT_TRUE((*bytes)[0] == 0xFF && (*bytes)[1] == 0xFE) << name;
        EXPECT_EQ(readSkinIni(name).encoding(), platform::TextEncoding::utf16le) << name;
    }
}

TEST(SkinFolderTest, HoldsEveryPictureTheWindowsLoad) {
    std::vector<std::string> names = {"Arrow.jpg", "dengup.bmp", "dengdown.bmp"};
    for (int frame = 1; frame <= 10; ++frame) {
        names.push_back(printed("jdt%d.bmp", frame));
    }
    for (const auto& contract : contracts()) {
        names.insert(names.end(), contract.statePictures.begin(), contract.statePictures.end());
        const auto ini = readSkinIni(contract.ini);
        for (const char* key : {"Main", "Mask"}) {
            names.push_back(ini.value("SCREEN", key).value_or("(no " + std::string(key) + ")"));
        }
    }
    for (const char* key : {"LightTrack", "LightThumb", "SpeedTrack", "SpeedThumb"}) {
        names.push_back(readSkinIni("Main.ini").value("SLIDER", key).value_or("(no slider)"));
    }
    for (const auto& name : names) {
        EXPECT_FALSE(pictureSize(name).isEmpty()) << name << " is missing or not a picture";
    }
}

TEST(SkinFolderTest, PicturesOfAWindowHaveTheSizeOfItsBackground) {
    for (const auto& contract : contracts()) {
        const auto ini = readSkinIni(contract.ini);
        const QSize background = pictureSize(ini.value("SCREEN", "Main").value_or(""));
        ASSERT_FALSE(background.isEmpty()) << contract.ini;
        EXPECT_EQ(pictureSize(ini.value("SCREEN", "Mask").value_or("")), background)
            << contract.ini;
        for (const auto& name : contract.statePictures) {
            EXPECT_EQ(pictureSize(name), background) << name;
        }
    }
}

TEST(SkinFolderTest, EveryRectangleLiesInsideItsWindow) {
    for (const auto& contract : contracts()) {
        const auto ini = readSkinIni(contract.ini);
        const QSize size = pictureSize(ini.value("SCREEN", "Main").value_or(""));
        // A button copies its face from one pixel above and left of its rectangle.
        const QRect usable(1, 1, size.width() - 1, size.height() - 1);
        for (const auto& key : ini.keys("BUTTONINFO")) {
            EXPECT_TRUE(usable.contains(buttonRect(ini, key))) << contract.ini << " " << key;
        }
    }
}

TEST(SkinFolderTest, ImageButtonsOfAWindowDoNotOverlap) {
    for (const auto& window : skinWindows()) {
        const auto ini = readSkinIni(window.iniFile);
        std::vector<std::pair<std::string, QRect>> buttons;
        for (const auto& control : window.controls) {
            if (control.kind == ControlKind::imageButton || control.kind == ControlKind::sprite) {
                buttons.emplace_back(control.key, buttonRect(ini, control.key));
            }
        }
        ASSERT_FALSE(buttons.empty()) << window.iniFile;
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            for (std::size_t j = i + 1; j < buttons.size(); ++j) {
                EXPECT_FALSE(buttons[i].second.intersects(buttons[j].second))
                    << window.iniFile << ": " << buttons[i].first << " and " << buttons[j].first;
            }
        }
    }
}

TEST(SkinFolderTest, OutlinesCutTheCornersAndKeepTheRest) {
    for (const auto& contract : contracts()) {
        const QImage outline(QString::fromStdString(
            (kSkinDir / readSkinIni(contract.ini).value("SCREEN", "Mask").value_or("")).string()));
        ASSERT_FALSE(outline.isNull()) << contract.ini;
        const int right = outline.width() - 1;
        const int bottom = outline.height() - 1;
        const auto white = [&](int x, int y) { return outline.pixel(x, y) == qRgb(255, 255, 255); };
        for (const auto& [x, y] : {std::pair{0, 0}, {right, 0}, {0, bottom}, {right, bottom}}) {
            EXPECT_TRUE(white(x, y)) << contract.ini << " corner " << x << "," << y;
        }
        for (const auto& [x, y] : {std::pair{right / 2, 0},
                                   {right / 2, bottom},
                                   {0, bottom / 2},
                                   {right, bottom / 2},
                                   {right / 2, bottom / 2}}) {
            EXPECT_FALSE(white(x, y)) << contract.ini << " inside " << x << "," << y;
        }
    }
}

TEST(SkinFolderTest, ControlPicturesFitTheirControls) {
    const auto main = readSkinIni("Main.ini");
    const std::vector<std::pair<std::string, std::string>> fitted = {
        {"dengup.bmp", "CONTROL_DengStaPic"},
        {"dengdown.bmp", "CONTROL_DengStaPic"},
        {"jdt1.bmp", "CONTROL_JDTStatic"},
        {"jdt10.bmp", "CONTROL_JDTStatic"},
        {main.value("SLIDER", "LightTrack").value_or(""), "CONTROL_LightSlider"},
        {main.value("SLIDER", "SpeedTrack").value_or(""), "CONTROL_SpeedSlider"},
    };
    for (const auto& [picture, control] : fitted) {
        EXPECT_EQ(pictureSize(picture), buttonRect(main, control).size()) << picture;
    }
    for (const auto& [thumb, slider] : {std::pair{"LightThumb", "CONTROL_LightSlider"},
                                        std::pair{"SpeedThumb", "CONTROL_SpeedSlider"}}) {
        const QSize size = pictureSize(main.value("SLIDER", thumb).value_or(""));
        EXPECT_EQ(size.height(), buttonRect(main, slider).height()) << thumb;
        EXPECT_LT(size.width(), buttonRect(main, slider).width() / 4) << thumb;
    }

    // Each arrow state is a cell of the sprite sheet as large as the arrow button, with its
    // own pixels.
    const QRect sheet(QPoint(0, 0), pictureSize("Arrow.jpg"));
    std::vector<QRect> cells;
    for (const auto& key : arrowOriginKeys()) {
        const auto origin = rectOf(main.value("BUTTONINFO2", key)).value_or(QRect());
        const bool left = key.find("LEFT") != std::string::npos;
        const QRect button = buttonRect(main, left ? "LEFT_ARROW" : "RIGHT_ARROW");
        const QRect cell(origin.x() - 1, origin.y() - 1, button.width(), button.height());
        EXPECT_TRUE(sheet.contains(cell)) << key;
        for (const auto& other : cells) {
            EXPECT_FALSE(other.intersects(cell)) << key;
        }
        cells.push_back(cell);
    }
}

// The stored pictures are the table's, not left over from an older layout: their brightness,
// which compression keeps better than colour, is what was drawn.
TEST(SkinFolderTest, StoredPicturesAreTheLayoutTablesPictures) {
    for (const auto& window : skinWindows()) {
        for (const auto& picture : window.pictures) {
            SCOPED_TRACE(picture.file);
            const QImage drawn =
                paintPicture(window, picture).convertToFormat(QImage::Format_ARGB32);
            const QImage stored = QImage(QString::fromStdString((kSkinDir / picture.file).string()))
                                      .convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(stored.size(), drawn.size());
            double difference = 0;
            for (int y = 0; y < drawn.height(); ++y) {
                for (int x = 0; x < drawn.width(); ++x) {
                    const QRgb a = drawn.pixel(x, y);
                    const QRgb b = stored.pixel(x, y);
                    difference += std::abs(qGray(a) - qGray(b)) + std::abs(qAlpha(a) - qAlpha(b));
                }
            }
            const double mean = difference / (drawn.width() * drawn.height());
            EXPECT_LT(mean, fs::path(picture.file).extension() == ".jpg" ? 2.0 : 0.0001);
        }
    }
}

// ---- The program's own sources ----------------------------------------------------------

// The skin keys and picture names the program's sources name: string literals among the
// arguments of the skin placement and reading functions, and literals that name a picture
// file. A printf conversion in a literal stands for any number.
struct SkinUses {
    std::vector<std::string> keys;
    std::vector<std::string> pictures;
};

std::string closingArguments(const std::string& source, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < source.size(); ++i) {
        if (source[i] == '"') {
            for (++i; i < source.size() && source[i] != '"'; ++i) {
                if (source[i] == '\\') {
                    ++i;
                }
            }
        } else if (source[i] == '(') {
            ++depth;
        } else if (source[i] == ')' && --depth == 0) {
            return source.substr(open, i - open + 1);
        }
    }
    return source.substr(open);
}

SkinUses skinUsesIn(const std::string& source) {
    static const std::regex kCall(R"(\b(?:place[A-Z]\w*|readSkinRect|readSkinOrigin)\s*\()");
    static const std::regex kLiteral(R"re("((?:[^"\\]|\\.)*)")re");
    static const std::regex kKey(R"([A-Za-z][A-Za-z0-9_%]*)");
    static const std::regex kPicture(R"((?:^|[\\/])([^\\/]+\.(?:jpg|bmp|png))$)",
                                     std::regex::icase);
    SkinUses uses;
    for (auto call = std::sregex_iterator(source.begin(), source.end(), kCall);
         call != std::sregex_iterator(); ++call) {
        const std::string arguments = closingArguments(
            source, static_cast<std::size_t>(call->position() + call->length() - 1));
        for (auto literal = std::sregex_iterator(arguments.begin(), arguments.end(), kLiteral);
             literal != std::sregex_iterator(); ++literal) {
            const std::string text = (*literal)[1];
            if (std::regex_match(text, kKey) && text != "SCREEN" && text != "BUTTONINFO" &&
                text != "BUTTONINFO2") {
                uses.keys.push_back(text);
            }
        }
    }
    for (auto literal = std::sregex_iterator(source.begin(), source.end(), kLiteral);
         literal != std::sregex_iterator(); ++literal) {
        std::smatch picture;
        const std::string text = (*literal)[1];
        if (std::regex_search(text, picture, kPicture)) {
            uses.pictures.push_back(picture[1]);
        }
    }
    return uses;
}

TEST(SkinUseScanTest, FindsKeysAndPicturesByTheConvention) {
    const struct {
        const char* source;
        std::vector<std::string> keys;
        std::vector<std::string> pictures;
    } cases[] = {
        {R"(placeImageButton(*ok_, ini, "BUTTONINFO", "CONTROL_OK", pictures);)",
         {"CONTROL_OK"},
         {}},
        {"skin::placeControl(\n    list_, ini,\n    kButtonSection, \"PROGRAM_LIST\");",
         {"PROGRAM_LIST"},
         {}},
        {R"(placeSpriteButton(b, ini, "LEFT_ARROW", name("UP_ARROW_LEFT%d", 1), sheet);)",
         {"LEFT_ARROW", "UP_ARROW_LEFT%d"},
         {}},
        {R"(placeControl(w, f(x), kButtonSection, "CONTROL_BLFXStatic2");)",
         {"CONTROL_BLFXStatic2"},
         {}},
        {R"(load(dir / "Skins\\main_normal.jpg"); frame = fmt("jdt%d.bmp", n);)",
         {},
         {"main_normal.jpg", "jdt%d.bmp"}},
        // Not a placement, and not a key.
        {R"(text("MAIN_CAPTION"); placeholder("X"); placeControl(w, ini, kButtonSection, key);)",
         {},
         {}},
    };
    for (const auto& c : cases) {
        const auto uses = skinUsesIn(c.source);
        EXPECT_EQ(uses.keys, c.keys) << c.source;
        EXPECT_EQ(uses.pictures, c.pictures) << c.source;
    }
}

// A literal with a printf conversion matches any text with a number in its place.
bool anyMatches(const std::string& pattern, const std::vector<std::string>& names) {
    static const std::regex kConversion(R"(%[0-9]*[dxX])");
    static const std::regex kSpecial(R"([.^$|()\[\]{}*+?\\])");
    const std::string escaped = std::regex_replace(pattern, kSpecial, R"(\$&)");
    const std::regex wanted(std::regex_replace(escaped, kConversion, "[0-9A-Fa-f]+"));
    for (const auto& name : names) {
        if (std::regex_match(name, wanted)) {
            return true;
        }
    }
    return false;
}

TEST(SkinFolderTest, HoldsEveryKeyAndPictureTheProgramNames) {
    SkinUses uses;
    for (const auto& entry : fs::recursive_directory_iterator(VELKAN_SOURCE_DIR)) {
        const auto extension = entry.path().extension();
        if (entry.is_regular_file() && (extension == ".cpp" || extension == ".h")) {
            std::ostringstream text;
            text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            const auto found = skinUsesIn(text.str());
            uses.keys.insert(uses.keys.end(), found.keys.begin(), found.keys.end());
            uses.pictures.insert(uses.pictures.end(), found.pictures.begin(), found.pictures.end());
        }
    }
    std::vector<std::string> keys;
    for (const auto& window : skinWindows()) {
        const auto ini = readSkinIni(window.iniFile);
        for (const char* section : {"BUTTONINFO", "BUTTONINFO2"}) {
            const auto names = ini.keys(section);
            keys.insert(keys.end(), names.begin(), names.end());
        }
    }
    // The program's own icons lie beside the skin, in the program folder's "Icons".
    std::vector<std::string> files;
    for (const fs::path& folder :
         {fs::path(kSkinDir), fs::path(kSkinDir).parent_path() / "Icons"}) {
        std::error_code missing;
        for (const auto& entry : fs::directory_iterator(folder, missing)) {
            files.push_back(entry.path().filename().string());
        }
    }
    for (const auto& key : uses.keys) {
        EXPECT_TRUE(anyMatches(key, keys)) << "no skin file has the key " << key;
    }
    for (const auto& picture : uses.pictures) {
        EXPECT_TRUE(anyMatches(picture, files)) << "the skin has no picture " << picture;
    }
}

} // namespace
} // namespace velkan::skingen
