#include "editors/editor_look.h"

#include "skin/skin_layout.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_look.h"

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QString>

namespace velkan::editors {
namespace {

constexpr double kLabelPointSize = 10.8;
// Texts longer than their place, as in other languages, shrink down to this.
constexpr double kSmallestLabelPointSize = 7;
constexpr double kListPointSize = 12;

} // namespace

skin::ButtonPictures editorPictures(const std::filesystem::path& folder,
                                    const PictureFiles& files) {
    const QPixmap down = skin::skinPicture(folder / files.down);
    return {skin::skinPicture(folder / files.normal), skin::skinPicture(folder / files.over), down,
            skin::skinPicture(folder / files.disabled), down};
}

skin::ButtonTextStyle editorCaptionStyle() {
    skin::ButtonTextStyle style;
    style.on = true;
    // One size for every caption, so no button looks more important than the others.
    style.pointSize = 8;
    style.face = widgets::skinFontFamily();
    style.normal = style.selected = QColor(255, 255, 255);
    style.over = QColor(255, 130, 0);
    style.down = QColor(255, 155, 4);
    style.disabled = QColor(127, 127, 127);
    return style;
}

QFont editorFont(double pointSize) {
    QFont font(widgets::skinFontFamily());
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}

skin::ImageButton* newEditorButton(QWidget& parent, const char* name) {
    auto* button = new skin::ImageButton(&parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel* newEditorLabel(QWidget& parent, const char* name) {
    auto* label = new QLabel(&parent);
    label->setObjectName(QString::fromLatin1(name));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(228, 228, 228));
    label->setPalette(palette);
    return label;
}

QLabel* newPageLabel(QWidget& parent, const char* name, const std::filesystem::path& ini,
                     const char* skinKey) {
    QLabel* label = newEditorLabel(parent, name);
    label->setFont(editorFont(kLabelPointSize));
    skin::placeControl(*label, ini, skin::kButtonSection, skinKey);
    return label;
}

void fitPrompt(QLabel& prompt) {
    widgets::fitLabelText(prompt, kLabelPointSize, kSmallestLabelPointSize);
}

widgets::SkinCombo* newPageList(QWidget& parent, const char* name) {
    auto* list = new widgets::SkinCombo(widgets::ComboKind::Plain, &parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setFont(editorFont(kListPointSize));
    return list;
}

} // namespace velkan::editors
