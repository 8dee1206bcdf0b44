#include "widgets/skin_menu.h"

#include "widgets/skin_look.h"

#include <optional>

namespace velkan::widgets {

namespace {

std::optional<int> commandOf(const QAction& action) {
    const QVariant data = action.data();
    if (data.typeId() != QMetaType::Int) {
        return std::nullopt;
    }
    return data.toInt();
}

void setBold(QAction& action, bool bold) {
    QFont font = action.font();
    font.setBold(bold);
    action.setFont(font);
}

} // namespace

SkinMenu::SkinMenu(QWidget* parent) : SkinMenu(QString(), parent) {}

SkinMenu::SkinMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {
    applySkinLook(*this);
    connect(this, &QMenu::triggered, this, [this](QAction* action) {
        if (const std::optional<int> command =
                action != nullptr ? commandOf(*action) : std::nullopt) {
            emit commandTriggered(*command);
        }
    });
}

QAction* SkinMenu::addCommand(int commandId, const QString& text) {
    QAction* action = addAction(text);
    action->setData(commandId);
    return action;
}

SkinMenu* SkinMenu::addSkinMenu(const QString& title) {
    auto* menu = new SkinMenu(title, this);
    addMenu(menu);
    return menu;
}

QAction* SkinMenu::commandAction(int commandId) const {
    const QList<QAction*> items = actions();
    for (QAction* action : items) {
        if (commandOf(*action) == commandId) {
            return action;
        }
        if (const auto* submenu = action->menu<SkinMenu*>()) {
            if (QAction* found = submenu->commandAction(commandId)) {
                return found;
            }
        }
    }
    return nullptr;
}

bool SkinMenu::setCommandText(int commandId, const QString& text) {
    QAction* action = commandAction(commandId);
    if (action == nullptr) {
        return false;
    }
    action->setText(text);
    return true;
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
