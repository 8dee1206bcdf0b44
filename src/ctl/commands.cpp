#include "ctl/commands.h"

#include "ctl/console_prompts.h"
#include "ctl/keyboard_access.h"
#include "lang/language.h"
#include "model/key_assignment.h"
#include "model/lighting.h"
#include "platform/paths.h"
#include "platform/settings_store.h"
#include "platform/single_instance.h"
#include "storage/colour_files.h"
#include "storage/keyboard_session.h"
#include "storage/profile_file.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace velkan::ctl {

namespace {

// The desktop program, whose window keeps its own copy of the keyboard's configuration.
constexpr std::string_view kDesktopProgram = "velkan";

struct Context {
    const Invocation& invocation;
    std::ostream& out;
    std::ostream& err;
    const lang::TextLookup& texts;
    ConsolePrompts& prompts;
};

int failed(const Context& context, std::string_view why) {
    context.err << "velkanctl: " << why << '\n';
    return kExitFailure;
}

// "126-key 0c45:5004"
std::string describeModel(const device::KeyboardModel& model) {
    char text[32];
    std::snprintf(text, sizeof text, "%d-key %04x:%04x", model.keyCount, unsigned{model.vendorId},
                  unsigned{model.productId});
    return text;
}

// The check of a file the user names. Every refusal gets the same message, so a missing, short
// or unreadable file is reported like one with a wrong header.
bool profileFileValid(Context& context) {
    const std::filesystem::path& file = context.invocation.file;
    if (storage::checkProfileFile(file) == storage::ProfileCheck::valid) {
        return true;
    }
    context.prompts.message(
        lang::formatWithText(context.texts.text("PROFILE_FORMAT_ERROR"), file.string()));
    return false;
}

// The write's own message, if it has one; true when the key tables reached the keyboard.
bool keyConfigurationWritten(Context& context, model::KeyWriteOutcome outcome) {
    if (const std::string_view key = model::keyWriteMessageKey(outcome); !key.empty()) {
        context.prompts.message(context.texts.text(key), true);
    }
    return model::keyTablesWritten(outcome);
}

int importRejected(Context& context) {
    context.prompts.message(context.texts.text("MAIN_PROMPT_INPORT"));
    return kExitFailure;
}

// The sequences redraw the main window through this; a terminal has nothing to redraw.
class NoWindow final : public storage::SessionView {
public:
    void showProfile(int) override {}
    void keyModelChanged() override {}
    void lightingChanged() override {}
};

// What the sequences work on: the key model, the lighting copy and the user's colour files.
struct Workbench {
    Workbench(Context& context, KeyboardAccess& access)
        : colourFiles(storage::ColourFiles::forProgram()),
          session({access.link(), access.mirrors(), configuration, lighting, colourFiles,
                   context.texts, view, storage::workingFilePath()}) {}

    model::KeyConfiguration configuration;
    model::Lighting lighting;
    storage::ColourFiles colourFiles;
    NoWindow view;
    storage::KeyboardSession session;
};

int listKeyboards(Context& context, KeyboardAccess& access) {
    const auto found = access.findAll();
    if (!found) {
        return failed(context, "the HID devices cannot be listed");
    }
    for (const FoundKeyboard& keyboard : *found) {
        context.out << keyboard.path << '\t' << describeModel(keyboard.model) << '\n';
    }
    if (access.permissionDenied()) {
        context.prompts.message(context.texts.text("MAIN_NO_PERMISSION_PROMPT"));
    }
    // As grep finds no line: a script asks "is a keyboard there?" by the status alone.
    if (found->empty()) {
        return access.permissionDenied() ? kExitFailure
                                         : failed(context, "no supported keyboard found");
    }
    return kExitSuccess;
}

int showInfo(Context& context, KeyboardAccess& access, Workbench& bench) {
    device::DeviceLink& link = access.link();
    const int active = model::activeProfile(link);
    if (active < 0 || bench.lighting.readLighting(link) < 0) {
        return failed(context, "the keyboard does not answer");
    }
    context.out << "model: " << describeModel(access.model()) << '\n'
                << "active profile: " << active << '\n'
                << "macro capacity: " << access.mirrors().macroCapacity() << " bytes\n"
                << "lighting modes:";
    const char* separator = " ";
    for (const std::uint8_t mode : bench.lighting.supportedModes().modes()) {
        context.out << separator << unsigned{mode} << ' '
                    << context.texts.modeText(std::to_string(mode));
        separator = ", ";
    }
    context.out << '\n';
    return kExitSuccess;
}

int backUp(Context& context, KeyboardAccess& access) {
    const std::filesystem::path& file = context.invocation.file;
    if (!storage::backupKeyboardToFile(file, access.link(), access.mirrors(), context.texts)) {
        return failed(context,
                      "the keyboard's configuration could not be backed up to " + file.string());
    }
    return kExitSuccess;
}

int importFile(Context& context, Workbench& bench) {
    {
        std::lock_guard lock(bench.configuration.modelLock);
        if (!storage::loadProfileFile(context.invocation.file, bench.configuration.edited)) {
            return importRejected(context);
        }
        // The working file mirrors the keyboard, which is about to hold this configuration.
        storage::saveWorkingFile(bench.configuration, false);
    }
    if (!keyConfigurationWritten(context, bench.session.applyKeyConfiguration(true))) {
        return failed(context, "the keyboard did not take the whole configuration");
    }
    return kExitSuccess;
}

int selectProfile(Context& context, KeyboardAccess& access, Workbench& bench) {
    const int profile = context.invocation.profile;
    bench.session.selectProfile(profile);
    if (access.link().activeProfileCache != profile) {
        return failed(context, "the keyboard did not switch to profile " + std::to_string(profile));
    }
    return kExitSuccess;
}

int changeLighting(Context& context, KeyboardAccess& access, Workbench& bench) {
    const LightingRequest& request = context.invocation.lighting;
    device::DeviceLink& link = access.link();
    model::Lighting& lighting = bench.lighting;
    if (lighting.readLighting(link) < 0) {
        return failed(context, "the keyboard does not answer");
    }
    if (request.mode &&
        !lighting.supportedModes().contains(static_cast<std::uint8_t>(*request.mode))) {
        return failed(context,
                      "the keyboard does not offer lighting mode " + std::to_string(*request.mode));
    }
    // Without a page the change goes where the keyboard shows it.
    if (!lighting.setCurrentPage(request.page ? *request.page : model::activeProfile(link))) {
        return failed(context, "the keyboard does not tell its active profile");
    }
    if (request.mode) {
        lighting.chooseMode(link, static_cast<std::uint8_t>(*request.mode));
    }
    if (request.brightness) {
        lighting.setBrightness(link, *request.brightness);
    }
    if (request.speed) {
        lighting.setSpeedPosition(link, *request.speed);
    }
    if (request.colour) {
        lighting.chooseColour(link, *request.colour);
    }
    if (request.direction) {
        lighting.setDirection(link, *request.direction);
    }
    if (request.lightOn) {
        lighting.setLightOn(link, *request.lightOn);
    }
    return kExitSuccess;
}

int restoreDefaults(Context& context, Workbench& bench) {
    // The user-colour files are reset from the template too, which needs their folder.
    bench.colourFiles.ensureFolder();
    bench.session.restoreDefaults();
    if (!keyConfigurationWritten(context, bench.session.applyKeyConfiguration(false))) {
        return failed(context, "the keyboard did not take the factory key table");
    }
    return kExitSuccess;
}

int enterBootMode(Context& context, Workbench& bench) {
    if (!bench.session.enterBootMode()) {
        return failed(context, "the keyboard could not be switched into its boot mode");
    }
    return kExitSuccess;
}

int runOnKeyboard(Context& context, KeyboardAccess& access) {
    if (context.invocation.command == Command::list) {
        return listKeyboards(context, access);
    }
    switch (access.connect(context.prompts, context.texts)) {
    case Connection::connected:
        break;
    case Connection::busy:
        return failed(context, "the keyboard is busy: another program is using it");
    case Connection::noKeyboard:
        if (access.permissionDenied()) {
            context.prompts.message(context.texts.text("MAIN_NO_PERMISSION_PROMPT"));
        } else {
            context.prompts.message(context.texts.text("MAIN_NO_DEVICE_PROMPT"));
        }
        return kExitFailure;
    }
    if (context.invocation.command == Command::backup) {
        return backUp(context, access);
    }
    auto bench = std::make_unique<Workbench>(context, access);
    switch (context.invocation.command) {
    case Command::info:
        return showInfo(context, access, *bench);
    case Command::import:
        return importFile(context, *bench);
    case Command::profile:
        return selectProfile(context, access, *bench);
    case Command::lighting:
        return changeLighting(context, access, *bench);
    case Command::defaults:
        return restoreDefaults(context, *bench);
    case Command::boot:
        return enterBootMode(context, *bench);
    default:
        return failed(context, "this command does not use the keyboard");
    }
}

// Whether the command writes what the desktop program's window shows. Boot mode is not among
// them: the keyboard leaves, and the program follows that by itself.
bool changesConfiguration(Command command) {
    switch (command) {
    case Command::import:
    case Command::profile:
    case Command::lighting:
    case Command::defaults:
        return true;
    default:
        return false;
    }
}

} // namespace

int runInvocation(const Invocation& invocation, std::ostream& out, std::ostream& err) {
    if (invocation.command == Command::help) {
        out << kSynopsis << kCommandSummary;
        return kExitSuccess;
    }
    const lang::Language language(platform::SettingsStore::currentUser(),
                                  platform::programFolder());
    ConsolePrompts prompts(err);
    Context context{invocation, out, err, language, prompts};

    switch (invocation.command) {
    case Command::check:
        return profileFileValid(context) ? kExitSuccess : kExitFailure;
    case Command::newFile:
        if (!storage::newProfileFile(invocation.file)) {
            return failed(context, invocation.file.string() + " could not be written");
        }
        return kExitSuccess;
    case Command::import:
        // A file that would be refused is refused before the keyboard is touched.
        if (!profileFileValid(context)) {
            return importRejected(context);
        }
        break;
    default:
        break;
    }

    const auto access = KeyboardAccess::open(invocation, err);
    if (!access) {
        return kExitFailure;
    }
    int status = runOnKeyboard(context, *access);
    if (!access->finish(err)) {
        status = kExitFailure;
    }
    // Otherwise the window keeps showing what was there before, and its next Apply would undo
    // this. A command that failed half-way may have changed part of it, so it asks as well; with
    // no program running there is nobody to tell.
    if (access->connected() && changesConfiguration(invocation.command)) {
        platform::sendToRunningInstance(kDesktopProgram, platform::kReadBackRequest);
    }
    return status;
}

} // namespace velkan::ctl
