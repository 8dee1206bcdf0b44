// Feeds arbitrary bytes to the profile file reader as a file the user picked. Whatever it
// accepts must save to a file that passes the import check and loads back as the same model:
// otherwise saving a profile would change it, or produce a file the program itself refuses.
// Only the text offsets of program and text-block records may differ, since saving lays the
// texts out anew.
#include "storage/profile_file.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

using namespace velkan;

namespace {

bool sameRecords(const model::KeyImage& a, const model::KeyImage& b) {
    for (std::size_t n = 0; n < model::kRecordCount; ++n) {
        model::KeyAssignment left = a.records[n];
        model::KeyAssignment right = b.records[n];
        const auto type = static_cast<model::AssignmentType>(left.type);
        if (type == model::AssignmentType::startProgram ||
            type == model::AssignmentType::textBlock) {
            left.value = right.value = 0;
        }
        if (std::memcmp(&left, &right, sizeof left) != 0) {
            return false;
        }
    }
    return true;
}

bool sameMacros(const model::MacroList& a, const model::MacroList& b) {
    return a.size() == b.size() &&
           (a.empty() ||
            std::memcmp(a.data(), b.data(), a.size() * sizeof(model::MacroRecord)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    storage::profileHeaderValid(bytes);
    const auto first = storage::parseProfile(bytes);
    if (!first) {
        return 0;
    }
    const std::vector<std::uint8_t> saved = storage::serializeProfile(*first);
    const auto second = storage::parseProfile(saved);
    if (!storage::profileHeaderValid(saved) || !second ||
        !sameRecords(first->image, second->image) ||
        second->strings.entries != first->strings.entries ||
        !sameMacros(first->macros, second->macros) || storage::serializeProfile(*second) != saved) {
        __builtin_trap();
    }
    return 0;
}
