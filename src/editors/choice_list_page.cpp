#include "editors/choice_list_page.h"

#include "editors/editor_look.h"
#include "skin/skin_layout.h"
#include "widgets/skin_combo.h"

#include <QLabel>
#include <algorithm>

namespace velkan::editors {

ChoiceListPage::ChoiceListPage(QWidget& dialog, const std::filesystem::path& iniPath,
                               const Names& names, int count)
    : prompt_(newPageLabel(dialog, names.prompt, iniPath, names.promptSkinKey)),
      list_(newPageList(dialog, names.list)) {
    skin::placeControl(*list_, iniPath, skin::kButtonSection, names.listSkinKey);
    connect(list_, &QComboBox::activated, this, &ChoiceListPage::modified);
    for (int i = 0; i < count; ++i) {
        list_->addItem(QString());
    }
}

ChoiceListPage::~ChoiceListPage() = default;

void ChoiceListPage::reloadTexts(const QString& prompt, const QStringList& entries) {
    prompt_->setText(prompt);
    fitPrompt(*prompt_);
    for (int i = 0; i < entries.size() && i < list_->count(); ++i) {
        list_->setItemText(i, entries[i]);
    }
}

void ChoiceListPage::setVisible(bool visible) {
    prompt_->setVisible(visible);
    list_->setVisible(visible);
}

void ChoiceListPage::focus() {
    list_->setFocus();
}

void ChoiceListPage::select(std::int32_t value) {
    list_->setCurrentIndex(value >= 0 && value < list_->count() ? value : 0);
}

std::int32_t ChoiceListPage::chosenValue() const {
    return std::max(list_->currentIndex(), 0);
}

} // namespace velkan::editors
