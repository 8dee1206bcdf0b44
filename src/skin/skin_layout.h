// Reading a window's skin file: its background and outline pictures, the rectangle of every
// control, the origins of sprite pictures, and placing controls by them. Every value comes
// from a file a user may have edited, so nothing read here is trusted: a rectangle that does
// not parse keeps the default's numbers, and a picture that cannot be loaded is reported by
// failOnMissingSkinPicture.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace velkan::skin {

class ImageButton;
struct ButtonPictures;

inline constexpr std::string_view kScreenSection = "SCREEN";
inline constexpr std::string_view kButtonSection = "BUTTONINFO";
inline constexpr std::string_view kOriginSection = "BUTTONINFO2";
// What a missing rectangle key reads as: a 1 x 1 control at (1, 1).
inline constexpr std::string_view kMissingRectangle = "1,1,1,1,x";
// The exit code of a program whose skin lacks a picture it needs.
inline constexpr int kMissingSkinPictureExitCode = 2;

// "x,y,w,h" read the way "%d,%d,%d,%d" scans: blanks before a number are skipped, the commas
// must follow the numbers directly, and reading stops at the first mismatch. Fields left
// unread, and numbers too large for any screen, keep the default's value 1.
QRect parseSkinRect(std::string_view value);

// The rectangle of `key` in `section`; a missing key or file gives (1, 1, 1, 1).
QRect readSkinRect(const std::filesystem::path& ini, std::string_view section,
                   std::string_view key);
// x and y of `key` in "BUTTONINFO2", the origin of a sprite button's picture.
QPoint readSkinOrigin(const std::filesystem::path& ini, std::string_view key);

struct SkinScreen {
    std::string background; // "Main", empty when missing
    std::string outline;    // "Mask", the background's name when missing
};
SkinScreen readSkinScreen(const std::filesystem::path& ini);
// "SCREEN"/"Link": the web address behind the main window's link button.
std::string readSkinLink(const std::filesystem::path& ini, std::string_view defaultLink);

// A file named in a skin file, inside the skin file's folder. Skins are written on systems
// whose paths use backslashes, and a name never leaves the folder by being absolute.
std::filesystem::path skinFilePath(const std::filesystem::path& folder, std::string_view name);

// The picture in `path`, decoded by its content rather than its name; nullopt when the file
// is missing or not a picture.
std::optional<QImage> loadSkinImage(const std::filesystem::path& path);

// A button picture, loaded on its first use and kept until the application ends, so every
// window that names the same file shares one copy. A picture that cannot be loaded goes to
// failOnMissingSkinPicture and gives a null pixmap.
QPixmap skinPicture(const std::filesystem::path& path);

// A skin without one of its pictures cannot show its window. The program tells the user which
// file is missing (a message box and standard error) and ends with
// kMissingSkinPictureExitCode. Tests install a handler of their own; when a handler returns,
// the caller carries on without the picture.
void failOnMissingSkinPicture(const std::filesystem::path& path);
using MissingPictureHandler = std::function<void(const std::filesystem::path&)>;
// Installs `handler` (an empty one restores the program's own) and returns the previous one.
MissingPictureHandler setMissingSkinPictureHandler(MissingPictureHandler handler);

// Moves and sizes the button to its rectangle, sets the picture origin to the rectangle's
// top-left and the five pictures. A button the skin does not place (left at (1, 1)) is
// disabled, which is how a skin hides buttons it does not need.
void placeImageButton(ImageButton& button, const std::filesystem::path& ini,
                      std::string_view section, std::string_view key,
                      const ButtonPictures& pictures);
// Moves and sizes the control to its rectangle.
void placeControl(QWidget& control, const std::filesystem::path& ini, std::string_view section,
                  std::string_view key);
// Sizes the button by `rectKey` in "BUTTONINFO" and takes its picture origin from `originKey`
// in "BUTTONINFO2"; the one picture serves every state.
void placeSpriteButton(ImageButton& button, const std::filesystem::path& ini,
                       std::string_view rectKey, std::string_view originKey,
                       const QPixmap& picture);

} // namespace velkan::skin
