// What the main window's key buttons say about a key: its name, and in the tooltip what the key
// was set to do.
#pragma once

#include "lang/text_lookup.h"
#include "model/key_assignment.h"

#include <cstdint>
#include <string>

namespace velkan::editors {

// The name a key button goes by: the key's own name, or "G<n>" for the extra keys.
std::string keyButtonName(model::KeyIndex index, const lang::TextLookup& texts);
// The tooltip of a key button: its name, and for a key that does something else what that is.
std::string keyButtonToolTip(model::KeyIndex index, const model::KeyAssignment& record,
                             const model::MacroList& macros, const lang::TextLookup& texts);

// Stored values come from profile files as well: anything outside the key code range names
// no key.
model::KeyCode keyCodeOfValue(std::int32_t value);

} // namespace velkan::editors
