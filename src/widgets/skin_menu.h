// Popup menus drawn in the skin's look. Items are commands known by number, as the windows'
// command handlers know them; the default item is shown in bold.
#pragma once

#include <QMenu>
#include <QPointer>
#include <QString>

namespace velkan::widgets {

class SkinMenu : public QMenu {
    Q_OBJECT

public:
    explicit SkinMenu(QWidget* parent = nullptr);
    explicit SkinMenu(const QString& title, QWidget* parent = nullptr);

    QAction* addCommand(int commandId, const QString& text);
    // A submenu in the same look; its commands are reported by this menu too.
    SkinMenu* addSkinMenu(const QString& title);
    // Searches the submenus as well; nullptr when no item carries the command.
    QAction* commandAction(int commandId) const;
    bool setCommandText(int commandId, const QString& text);

    // Makes `action`, an item of this menu, the default one: its text turns bold and the
    // previous default's returns to normal. nullptr leaves no default item.
    bool setDefaultItem(QAction* action);

signals:
    void commandTriggered(int commandId);

private:
    // Watched, so that an item deleted since it was the default is not touched.
    QPointer<QAction> boldItem_;
};

} // namespace velkan::widgets
