#include "editors/action_buttons.h"

#include "editors/action_list.h"
#include "editors/editor_look.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"

#include <QString>
#include <string_view>

namespace velkan::editors {

ActionButtons::ActionButtons(QWidget& dialog, const std::filesystem::path& iniPath,
                             const std::filesystem::path& iniFolder, const lang::TextLookup& texts,
                             ActionList& actions)
    : texts_(texts) {
    const skin::ButtonPictures pictures = editorPictures(iniFolder, kMacroPictures);
    const auto add = [&](const char* name, const char* skinKey, auto slot) {
        skin::ImageButton* button = newEditorButton(dialog, name);
        skin::placeImageButton(*button, iniPath, skin::kButtonSection, skinKey, pictures);
        connect(button, &QAbstractButton::clicked, &actions, slot);
        button->hide();
        return button;
    };
    using Move = ActionList::Move;
    deleteActionButton_ =
        add("deleteActionButton", "FUNC_MACRO_DELETE2", [&actions] { actions.deleteSelected(); });
    clearActionsButton_ =
        add("clearActionsButton", "FUNC_MACRO_CLEAR", [&actions] { actions.clearAll(); });
    topButton_ =
        add("topButton", "FUNC_MACRO_UP_TOP", [&actions] { actions.moveSelected(Move::toTop); });
    upButton_ = add("upButton", "FUNC_MACRO_UP", [&actions] { actions.moveSelected(Move::up); });
    downButton_ =
        add("downButton", "FUNC_MACRO_DOWN", [&actions] { actions.moveSelected(Move::down); });
    bottomButton_ = add("bottomButton", "FUNC_MACRO_DOWN_BOTTOM",
                        [&actions] { actions.moveSelected(Move::toBottom); });
    deleteActionButton_->setTextStyle(editorCaptionStyle());
}

ActionButtons::~ActionButtons() = default;

std::vector<QWidget*> ActionButtons::controls() const {
    return {deleteActionButton_, clearActionsButton_, topButton_,
            upButton_,           downButton_,         bottomButton_};
}

void ActionButtons::setEnabled(bool enabled) {
    for (QWidget* button : controls()) {
        button->setEnabled(enabled);
    }
}

void ActionButtons::reloadTexts() {
    const auto text = [this](std::string_view key) {
        return QString::fromStdString(texts_.text(key));
    };
    deleteActionButton_->setText(text("A_DELETE"));
    clearActionsButton_->setToolTipText(text("A_CLEAR"));
    topButton_->setToolTipText(text("A_TOP"));
    upButton_->setToolTipText(text("A_UP"));
    downButton_->setToolTipText(text("A_DOWN"));
    bottomButton_->setToolTipText(text("A_BOTTOM"));
}

} // namespace velkan::editors
