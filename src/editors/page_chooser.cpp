#include "editors/page_chooser.h"

#include "editors/editor_look.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"

#include <QString>
#include <string_view>
#include <utility>

namespace velkan::editors {
namespace {

using model::AssignmentType;

constexpr PictureFiles kMediaPictures{"media_normal.jpg", "media_over.jpg", "media_down.jpg",
                                      "media_normal.jpg"};
constexpr PictureFiles kFunctionPictures{"function_normal.jpg", "function_over.jpg",
                                         "function_down.jpg", "function_normal.jpg"};

} // namespace

bool isSingleKeyPage(AssignmentType page) {
    return page != AssignmentType::playMacro && page != AssignmentType::multimedia &&
           page != AssignmentType::keyboardFunction;
}

PageChooser::PageChooser(QWidget& dialog, std::filesystem::path iniPath,
                         std::filesystem::path iniFolder, const lang::TextLookup& texts)
    : iniPath_(std::move(iniPath)), iniFolder_(std::move(iniFolder)), texts_(texts),
      pagePicture_(newEditorButton(dialog, "pagePicture")) {
    // A picture: the window is dragged by it.
    pagePicture_->setAttribute(Qt::WA_TransparentForMouseEvents);
    const auto add = [this, &dialog](const char* name, AssignmentType page) {
        skin::ImageButton* button = newEditorButton(dialog, name);
        button->setTextStyle(editorCaptionStyle());
        connect(button, &QAbstractButton::clicked, this, [this, page] { emit pageChosen(page); });
        return button;
    };
    mediaPageButton_ = add("mediaPageButton", AssignmentType::multimedia);
    macroPageButton_ = add("macroPageButton", AssignmentType::playMacro);
    keyPageButton_ = add("keyPageButton", AssignmentType::singleKey);
    functionPageButton_ = add("functionPageButton", AssignmentType::keyboardFunction);
}

PageChooser::~PageChooser() = default;

void PageChooser::place(bool macroOnly) {
    const auto keyPictures = editorPictures(iniFolder_, kKeyPictures);
    const auto otherPictures =
        macroOnly ? editorPictures(iniFolder_, kMacroOnlyPictures) : keyPictures;
    const auto placeAt = [this](skin::ImageButton& button, const char* skinKey,
                                const skin::ButtonPictures& pictures) {
        skin::placeImageButton(button, iniPath_, skin::kButtonSection, skinKey, pictures);
    };
    placeAt(*pagePicture_, "CONTROL_MASK", keyPictures);
    placeAt(*macroPageButton_, "CONTROL_MACRO", keyPictures);
    macroPageButton_->setEnabled(true);
    for (const auto& [button, skinKey] :
         {std::pair{mediaPageButton_, "CONTROL_MEDIA"}, std::pair{keyPageButton_, "CONTROL_KEY"},
          std::pair{functionPageButton_, "CONTROL_FUNCTION"}}) {
        button->setEnabled(!macroOnly);
        placeAt(*button, skinKey, otherPictures);
    }
}

void PageChooser::reloadTexts() {
    for (const auto& [button, textKey] :
         {std::pair{keyPageButton_, lang::textKey("SINGLE_KEY")},
          std::pair{macroPageButton_, lang::textKey("MACRO_SETTING")},
          std::pair{mediaPageButton_, lang::textKey("MULTI_MEDIA")},
          std::pair{functionPageButton_, lang::textKey("FUNCTION_KEY")}}) {
        button->setText(QString::fromStdString(texts_.text(textKey)));
    }
}

void PageChooser::show(AssignmentType page) {
    const PictureFiles* files = &kKeyPictures;
    if (page == AssignmentType::playMacro) {
        files = &kMacroPictures;
    } else if (page == AssignmentType::multimedia) {
        files = &kMediaPictures;
    } else if (page == AssignmentType::keyboardFunction) {
        files = &kFunctionPictures;
    }
    skin::placeImageButton(*pagePicture_, iniPath_, skin::kButtonSection, "CONTROL_MASK",
                           editorPictures(iniFolder_, *files));
    keyPageButton_->setSelectedLook(isSingleKeyPage(page));
    macroPageButton_->setSelectedLook(page == AssignmentType::playMacro);
    mediaPageButton_->setSelectedLook(page == AssignmentType::multimedia);
    functionPageButton_->setSelectedLook(page == AssignmentType::keyboardFunction);
}

} // namespace velkan::editors
