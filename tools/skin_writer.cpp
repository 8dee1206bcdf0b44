#include "skin_writer.h"

#include "platform/atomic_file.h"
#include "platform/ini_file.h"
#include "skin_painter.h"
#include "skin_table.h"

#include <QSaveFile>
#include <QString>
#include <cstdio>
#include <system_error>
#include <vector>

namespace velkan::skingen {
namespace {

// High enough that key legends keep crisp edges.
constexpr int kJpegQuality = 95;

const char* formatOf(const std::filesystem::path& file) {
    const auto extension = file.extension();
    if (extension == ".jpg") {
        return "JPG";
    }
    if (extension == ".bmp") {
        return "BMP";
    }
    return "PNG";
}

bool savePicture(const QImage& image, const std::filesystem::path& file) {
    if (image.isNull()) {
        std::fprintf(stderr, "%s: nothing to draw\n", file.c_str());
        return false;
    }
    QSaveFile out(QString::fromStdString(file.string()));
    const char* format = formatOf(file);
    const int quality = std::string_view(format) == "JPG" ? kJpegQuality : -1;
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, format, quality) || !out.commit()) {
        std::fprintf(stderr, "%s: cannot write\n", file.c_str());
        return false;
    }
    return true;
}

bool saveIni(const std::vector<IniValue>& values, const std::filesystem::path& file) {
    auto document = platform::IniDocument::parse({});
    document.setEncoding(platform::TextEncoding::utf16le);
    for (const auto& value : values) {
        document.setValue(value.section, value.key, value.value);
    }
    if (!platform::writeFileAtomically(file, document.serialize())) {
        std::fprintf(stderr, "%s: cannot write\n", file.c_str());
        return false;
    }
    return true;
}

} // namespace

bool writeSkin(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", folder.c_str(), error.message().c_str());
        return false;
    }
    bool written = true;
    for (const auto& window : skinWindows()) {
        for (const auto& picture : window.pictures) {
            written = savePicture(paintPicture(window, picture), folder / picture.file) && written;
        }
        written = saveIni(iniValues(window), folder / window.iniFile) && written;
    }
    return saveIni(languageFileValues(), folder / kLanguageFile) && written;
}

} // namespace velkan::skingen
