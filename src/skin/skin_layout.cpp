#include "skin/skin_layout.h"

#include "platform/ini_file.h"
#include "skin/image_button.h"
#include "skin/qt_prompts.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace velkan::skin {
namespace {

// No screen is wider than this; anything beyond it is a damaged file, and refusing it keeps
// the arithmetic of rectangles (x + w) far from overflowing.
constexpr long long kMaxCoordinate = 1 << 24;
constexpr std::size_t kLinkBuffer = platform::kProfileStringBuffer;
// Picture names may be long paths.
constexpr std::size_t kPictureNameBuffer = 2048;

bool isScanBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One "%d" at `pos`, advancing past it.
std::optional<int> scanNumber(std::string_view text, std::size_t& pos) {
    std::size_t at = pos;
    while (at < text.size() && isScanBlank(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::size_t digitsStart = at;
    long long magnitude = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > kMaxCoordinate) {
            return std::nullopt;
        }
        ++at;
    }
    if (at == digitsStart) {
        return std::nullopt;
    }
    pos = at;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// The program's own answer to a missing picture.
void reportMissingPictureAndExit(const std::filesystem::path& path) {
    const std::string text = "The skin picture \"" + path.string() +
                             "\" is missing or damaged. The program cannot show its windows "
                             "without it and will close.";
    std::fprintf(stderr, "%s\n", text.c_str());
    QtPrompts().message(text, true);
    std::exit(kMissingSkinPictureExitCode);
}

MissingPictureHandler& missingPictureHandler() {
    static MissingPictureHandler handler = reportMissingPictureAndExit;
    return handler;
}

// Emptied when the application object goes, while the pixmaps can still be released.
std::map<std::filesystem::path, QPixmap>& pictureCache() {
    static auto* const cache = [] {
        qAddPostRoutine([] { pictureCache().clear(); });
        return new std::map<std::filesystem::path, QPixmap>;
    }();
    return *cache;
}

} // namespace

QRect parseSkinRect(std::string_view value) {
    std::array<int, 4> fields = {1, 1, 1, 1};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (pos >= value.size() || value[pos] != ',') {
                break;
            }
            ++pos;
        }
        const auto number = scanNumber(value, pos);
        if (!number) {
            break;
        }
        fields[i] = *number;
    }
    return {fields[0], fields[1], fields[2], fields[3]};
}

QRect readSkinRect(const std::filesystem::path& ini, std::string_view section,
                   std::string_view key) {
    return parseSkinRect(platform::getPrivateProfileString(section, key, kMissingRectangle, ini));
}

QPoint readSkinOrigin(const std::filesystem::path& ini, std::string_view key) {
    return readSkinRect(ini, kOriginSection, key).topLeft();
}

SkinScreen readSkinScreen(const std::filesystem::path& ini) {
    SkinScreen screen;
    screen.background =
        platform::getPrivateProfileString(kScreenSection, "Main", "", ini, kPictureNameBuffer);
    screen.outline = platform::getPrivateProfileString(kScreenSection, "Mask", screen.background,
                                                       ini, kPictureNameBuffer);
    return screen;
}

std::string readSkinLink(const std::filesystem::path& ini, std::string_view defaultLink) {
    return platform::getPrivateProfileString(kScreenSection, "Link", defaultLink, ini, kLinkBuffer);
}

std::filesystem::path skinFilePath(const std::filesystem::path& folder, std::string_view name) {
    std::string relative(name);
    for (char& c : relative) {
        if (c == '\\') {
            c = '/';
        }
    }
    const auto start = relative.find_first_not_of('/');
    return folder / (start == std::string::npos ? std::string() : relative.substr(start));
}

std::optional<QImage> loadSkinImage(const std::filesystem::path& path) {
    QImageReader reader(QString::fromStdString(path.string()));
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    return image;
}

QPixmap skinPicture(const std::filesystem::path& path) {
    auto& cache = pictureCache();
    if (const auto found = cache.find(path); found != cache.end()) {
        return found->second;
    }
    const auto image = loadSkinImage(path);
    if (!image) {
        failOnMissingSkinPicture(path);
        return {};
    }
    return cache.emplace(path, QPixmap::fromImage(*image)).first->second;
}

void failOnMissingSkinPicture(const std::filesystem::path& path) {
    missingPictureHandler()(path);
}

MissingPictureHandler setMissingSkinPictureHandler(MissingPictureHandler handler) {
    if (!handler) {
        handler = reportMissingPictureAndExit;
    }
    return std::exchange(missingPictureHandler(), std::move(handler));
}

void placeImageButton(ImageButton& button, const std::filesystem::path& ini,
                      std::string_view section, std::string_view key,
                      const ButtonPictures& pictures) {
    const QRect rect = readSkinRect(ini, section, key);
    button.setGeometry(rect);
    button.setPictures(rect.topLeft(), pictures);
    if (rect.topLeft() == QPoint(1, 1)) {
        button.setEnabled(false);
    }
}

void placeControl(QWidget& control, const std::filesystem::path& ini, std::string_view section,
                  std::string_view key) {
    control.setGeometry(readSkinRect(ini, section, key));
}

void placeSpriteButton(ImageButton& button, const std::filesystem::path& ini,
                       std::string_view rectKey, std::string_view originKey,
                       const QPixmap& picture) {
    button.setGeometry(readSkinRect(ini, kButtonSection, rectKey));
    button.setPictures(readSkinOrigin(ini, originKey), ButtonPictures::allAs(picture));
}

} // namespace velkan::skin
