#include "editors/key_button_texts.h"

#include "model/key_codes.h"

#include <algorithm>

namespace velkan::editors {
namespace {

constexpr int kExtraKeysPerBank = model::kExtraKeyCount / 2;

} // namespace

std::string keyButtonName(model::KeyIndex index, const lang::TextLookup& texts) {
    if (index >= model::kFirstExtraKeyIndex) {
        return "G" + std::to_string((index - model::kFirstExtraKeyIndex) % kExtraKeysPerBank + 1);
    }
    return model::keyNameFromCode(model::keyCodeFromIndex(index), texts);
}

std::string keyButtonToolTip(model::KeyIndex index, const model::KeyAssignment& record,
                             const model::MacroList& macros, const lang::TextLookup& texts) {
    std::string tip = keyButtonName(index, texts);
    if (record.type == 0) {
        return tip;
    }
    tip += texts.text("KEY_PROMPT_SET");
    switch (static_cast<model::AssignmentType>(record.type)) {
    case model::AssignmentType::singleKey:
        tip += texts.text("KEY_PROMPT_SINGLE") +
               model::keyNameFromCode(keyCodeOfValue(record.value), texts) + ")";
        break;
    case model::AssignmentType::playMacro: {
        const auto macro = std::find_if(macros.begin(), macros.end(),
                                        [&](const auto& m) { return m.id == record.value; });
        tip +=
            texts.text("KEY_PROMPT_MACRO") + (macro == macros.end() ? "" : macro->nameUtf8()) + ")";
        break;
    }
    case model::AssignmentType::multimedia: {
        const auto& media = model::MediaKeyTable();
        const bool known = record.value >= 0 && record.value < static_cast<int>(media.size());
        tip += texts.text("KEY_PROMPT_MEDIA") +
               (known ? model::keyNameFromCode(media[static_cast<std::size_t>(record.value)].code,
                                               texts)
                      : "") +
               ")";
        break;
    }
    case model::AssignmentType::keyboardFunction: {
        const bool known = record.value >= 0 && record.value < model::kFunctionKeyCount;
        tip += texts.text("KEY_PROMPT_FUNCTION") +
               (known ? texts.text(model::functionKeyLanguageKey(record.value)) : "") + ")";
        break;
    }
    default:
        break;
    }
    return tip;
}

model::KeyCode keyCodeOfValue(std::int32_t value) {
    return value >= 0 && value <= 0xFFFF ? static_cast<model::KeyCode>(value) : 0;
}

} // namespace velkan::editors
