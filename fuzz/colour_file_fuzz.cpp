// Arbitrary bytes as a user-colour file and as the settings file, read through every public
// read.
#include "platform/atomic_file.h"
#include "storage/colour_files.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

namespace {

namespace fs = std::filesystem;
using velkan::storage::ColourFiles;

// The settings file is a link to the page's file, so one write per input feeds both.
fs::path makeFolder() {
    std::string pattern = (fs::temp_directory_path() / "colour-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    const ColourFiles layout(pattern, {});
    std::error_code error;
    fs::create_symlink(layout.userColourPath(0).filename(), layout.settingsPath(), error);
    if (error) {
        std::abort();
    }
    return pattern;
}

// One folder per fuzzing process, made on the first input, reused for every one after it and
// removed when the fuzzer exits.
struct FuzzFolder {
    fs::path path = makeFolder();
    ~FuzzFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

const fs::path& fuzzFolder() {
    static const FuzzFolder folder;
    return folder.path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ColourFiles files(fuzzFolder(), fuzzFolder() / "template.userd");
    if (!velkan::platform::writeFileAtomically(files.userColourPath(0), {data, size})) {
        std::abort();
    }

    volatile int sink = files.readPresentMode(0) + (files.readPerKeyViewSwitch() ? 1 : 0);
    for (int mode = -1; mode <= 2; ++mode) {
        const auto tools = files.readModeTools(0, mode);
        sink = sink + static_cast<int>(files.readModeName(0, mode).size() + tools.colour +
                                       tools.toolColour + (tools.tool ? 1 : 0));
    }
    // Positions the program never uses, too, since a file can name any key.
    for (const int position : {-1, 0, 64, 110, 125, 126, 169, 170}) {
        const auto colour = files.readKeyColour(0, 0, position);
        sink = sink + static_cast<int>(colour.colour + (colour.on ? 1 : 0));
    }
    return 0;
}
