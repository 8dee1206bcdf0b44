#include "widgets/skin_menu.h"

#include "widgets/skin_look.h"

namespace velkan::widgets {

namespace {

void setBold(QAction& action, bool bold) {
    QFont font = action.font();
    font.setBold(bold);
    action.setFont(font);
}

} // namespace

SkinMenu::SkinMenu(QWidget* parent) : SkinMenu(QString(), parent) {}

SkinMenu::SkinMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {
    applySkinLook(*this);
}

bool SkinMenu::setDefaultItem(QAction* action) {
    if (action != nullptr && !actions().contains(action)) {
        return false;
    }
    if (!boldItem_.isNull()) {
        setBold(*boldItem_, false);
    }
    setDefaultAction(action);
    boldItem_ = action;
    if (action != nullptr) {
        setBold(*action, true);
    }
    return true;
}

} // namespace velkan::widgets
