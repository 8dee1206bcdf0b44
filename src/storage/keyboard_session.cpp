#include "storage/keyboard_session.h"

#include "protocol/command_report.h"
#include "protocol/command_set.h"
#include "storage/profile_file.h"

namespace velkan::storage {

namespace {
constexpr std::uint8_t kPerKeyColourMode = 20;
} // namespace

KeyboardSession::KeyboardSession(Parts parts) : parts_(std::move(parts)) {}

void KeyboardSession::readBackAfterArrival() {
    loadWorkingFileOrFresh(true);
    const int active = model::activeProfile(parts_.link);
    if (active >= 0 && active < model::kProfileCount) {
        page_ = active;
    }
    parts_.view.showProfile(page_);

    parts_.lighting.setCurrentPage(page_);
    // The keyboard gets the page's per-key colours from the user-colour file, not zeros.
    parts_.colourFiles.fillUserModeColours(page_, parts_.lighting);
    parts_.lighting.readLightingWithColourRefresh(parts_.link);
    parts_.view.lightingChanged();
}

// The keyboard's key tables and macros become the working file and the model; when the
// keyboard cannot be read back (or the file cannot be written and read again), the model
// starts from a fresh profile in which every key keeps its default.
void KeyboardSession::loadWorkingFileOrFresh(bool readKeyboardFirst) {
    std::lock_guard lock(parts_.configuration.modelLock);
    model::KeyModel& edited = parts_.configuration.edited;
    const bool loaded =
        (!readKeyboardFirst ||
         backupKeyboardToFile(parts_.workingFile, parts_.link, parts_.mirrors, parts_.texts)) &&
        loadProfileFile(parts_.workingFile, edited);
    if (!loaded && readKeyboardFirst) {
        newProfileInMemory(edited);
    }
    parts_.view.keyModelChanged();
}

model::KeyWriteOutcome KeyboardSession::applyKeyConfiguration(bool allProfiles) {
    parts_.configuration.copyEditedToApplied();
    return parts_.configuration.writeKeyConfiguration(allProfiles, parts_.link, parts_.mirrors);
}

void KeyboardSession::switchToProfile(int profile) {
    if (!showLightingPage(profile)) {
        return;
    }
    if (model::activeProfile(parts_.link) != profile) {
        selectProfile(profile);
    }
}

bool KeyboardSession::showLightingPage(int profile) {
    if (profile < 0 || profile >= model::kProfileCount) {
        return false;
    }
    page_ = profile;
    parts_.lighting.setCurrentPage(page_);
    plainLightingReadBack();
    if (parts_.lighting.supportedModes().contains(kPerKeyColourMode)) {
        // The page's colours come from its user-colour file: the copy in memory is only filled
        // while the per-key view shows that page.
        parts_.colourFiles.fillUserModeColours(page_, parts_.lighting);
        parts_.lighting.writeKeyColours(parts_.link, page_);
    }
    return true;
}

void KeyboardSession::selectProfile(int profile) {
    model::setActiveProfile(parts_.link, profile);
    loadWorkingFileOrFresh(false);
}

void KeyboardSession::restoreDefaults() {
    const protocol::KeyTableImage factory = parts_.mirrors.defaultKeyTable();
    for (int profile = 0; profile < model::kProfileCount; ++profile) {
        parts_.configuration.resetProfileToDefaults(profile);
        parts_.lighting.restoreDefaultBlock(parts_.link, profile);
        parts_.colourFiles.resetUserColours(profile);
        // Outside any begin/end pair, as the keyboard takes it.
        (void)protocol::writeKeyTable(parts_.link, factory, profile);
    }
    parts_.view.keyModelChanged();
    parts_.view.lightingChanged();
}

void KeyboardSession::plainLightingReadBack() {
    parts_.lighting.readLighting(parts_.link);
    parts_.view.lightingChanged();
}

void KeyboardSession::onLightingChangedOnKeyboard() {
    plainLightingReadBack();
}

void KeyboardSession::onKeyboardReset() {
    // The keyboard now runs its factory tables and has no macros. The model and the working
    // file follow it, so that no later apply or profile load writes back what the reset cleared.
    {
        std::lock_guard lock(parts_.configuration.modelLock);
        newProfileInMemory(parts_.configuration.edited);
        saveProfileFile(parts_.workingFile, parts_.configuration, false);
    }
    parts_.view.keyModelChanged();

    std::array<std::uint8_t, protocol::kDeviceInfoSize> info{};
    if (protocol::readDeviceInfo(parts_.link, info) == protocol::CommandResult::success &&
        info[protocol::kActiveProfileByte] < model::kProfileCount) {
        page_ = info[protocol::kActiveProfileByte];
    }
    parts_.lighting.setCurrentPage(page_);
    parts_.view.showProfile(page_);
    // The profile is selected again; its file is not loaded, since it now holds the defaults.
    model::setActiveProfile(parts_.link, page_);
    if (model::SupportedModes::fromDeviceInfo(info).contains(kPerKeyColourMode)) {
        for (int page = 0; page < model::kProfileCount; ++page) {
            parts_.colourFiles.resetUserColours(page);
        }
        parts_.colourFiles.fillUserModeColours(page_, parts_.lighting);
    }
    plainLightingReadBack();
}

bool KeyboardSession::enterBootMode() {
    return protocol::enterBootMode(parts_.link) == protocol::CommandResult::success;
}

} // namespace velkan::storage
