// Popup menus drawn in the skin's look; the default item is shown in bold.
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

    // Makes `action`, an item of this menu, the default one: its text turns bold and the
    // previous default's returns to normal. nullptr leaves no default item.
    bool setDefaultItem(QAction* action);

private:
    // Watched, so that an item deleted since it was the default is not touched.
    QPointer<QAction> boldItem_;
};

} // namespace velkan::widgets
