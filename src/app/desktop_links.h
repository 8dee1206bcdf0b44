// What the windows open with the desktop: the skin's web link, the community pages and the help
// shipped with the program. A page the desktop cannot open is said so.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"

#include <filesystem>
#include <functional>
#include <string>

namespace velkan::app {

class DesktopLinks {
public:
    struct Parts {
        // Opens a document or web address; the program's is the platform's.
        std::function<bool(const std::string&)> openDocument;
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        std::filesystem::path helpFolder;
    };

    explicit DesktopLinks(Parts parts) : parts_(std::move(parts)) {}

    bool open(const std::string& address);
    void openHelp();
    // The web link the main window's skin names, or the program's own.
    const std::string& skinLink() const { return skinLink_; }
    void readSkinLink(const std::filesystem::path& skinFile);
    void openSkinLink() { open(skinLink_); }
    // The two community buttons' pages: 0 or 1.
    void openCommunityPage(int page);

private:
    Parts parts_;
    std::string skinLink_;
};

} // namespace velkan::app
