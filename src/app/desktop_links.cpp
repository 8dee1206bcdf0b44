#include "app/desktop_links.h"

#include "skin/skin_layout.h"

#include <array>
#include <string_view>

namespace velkan::app {

namespace {

constexpr std::string_view kDefaultLink = "https://www.example.com/";
constexpr std::array<std::string_view, 2> kCommunityPages = {"https://www.example.com/community",
                                                             "https://www.example.com/news"};

} // namespace

bool DesktopLinks::open(const std::string& address) {
    if (parts_.openDocument(address)) {
        return true;
    }
    parts_.prompts.message(parts_.texts.text("MAIN_OPEN_FAILED"));
    return false;
}

void DesktopLinks::openHelp() {
    open((parts_.helpFolder / "index.html").string());
}

void DesktopLinks::readSkinLink(const std::filesystem::path& skinFile) {
    skinLink_ = skin::readSkinLink(skinFile, kDefaultLink);
}

void DesktopLinks::openCommunityPage(int page) {
    open(std::string(kCommunityPages.at(static_cast<std::size_t>(page))));
}

} // namespace velkan::app
