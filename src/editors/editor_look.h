// What the key assignment dialog and its pages share in how they look: captions, fonts, labels,
// lists and the button pictures.
#pragma once

#include "skin/image_button.h"

#include <filesystem>

class QFont;
class QLabel;
class QWidget;

namespace velkan::widgets {
class SkinCombo;
}

namespace velkan::editors {

struct PictureFiles {
    const char* normal;
    const char* over;
    const char* down;
    const char* disabled;
};
inline constexpr PictureFiles kKeyPictures{"key_normal.jpg", "key_over.jpg", "key_down.jpg",
                                           "key_normal.jpg"};
// Opened for a macro, the buttons of what it does not offer wear these.
inline constexpr PictureFiles kMacroOnlyPictures{"macro2_normal.jpg", "macro2_over.jpg",
                                                 "macro2_down.jpg", "macro2_disable.jpg"};
inline constexpr PictureFiles kMacroPictures{"macro_normal.jpg", "macro_over.jpg", "macro_down.jpg",
                                             "macro_disable.jpg"};

// A selected button (the current page, the record button while recording) looks pressed.
skin::ButtonPictures editorPictures(const std::filesystem::path& folder, const PictureFiles& files);

// How the key assignment dialog and its macro page draw their buttons' captions.
skin::ButtonTextStyle editorCaptionStyle();

QFont editorFont(double pointSize);

// A button named `name`, placed later.
skin::ImageButton* newEditorButton(QWidget& parent, const char* name);
// A label in the light text of the dialog.
QLabel* newEditorLabel(QWidget& parent, const char* name);
// A label of a page, at its place in the skin.
QLabel* newPageLabel(QWidget& parent, const char* name, const std::filesystem::path& ini,
                     const char* skinKey);
// The texts on the page picture say in a sentence what to do: wrapped, and smaller where even
// that is not enough, but never cut.
void fitPrompt(QLabel& prompt);
// A list of fixed entries of a page.
widgets::SkinCombo* newPageList(QWidget& parent, const char* name);

} // namespace velkan::editors
