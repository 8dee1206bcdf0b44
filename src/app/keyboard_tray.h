// The tray icon as the keyboard's state shows it: its picture follows the keyboard coming and
// going and the pictures the keyboard asks for itself, and its tip says whether a keyboard is
// connected. The icon's menu reaches the window through the icon's own signals.
#pragma once

#include "app/keyboard_controller.h"
#include "app/main_menu.h"
#include "app/tray_icon.h"
#include "lang/text_lookup.h"

#include <QObject>
#include <memory>
#include <optional>

class QWidget;

namespace velkan::app {

class KeyboardTray : public QObject {
    Q_OBJECT

public:
    // Puts the icon in `area`, showing no keyboard; without a notification area the program
    // still runs, reached by starting it again. On a simulated keyboard the menu also offers
    // the simulation's commands.
    KeyboardTray(QWidget& owner, const lang::TextLookup& texts, KeyboardController& keyboard,
                 std::unique_ptr<TrayArea> area, const std::optional<Simulation>& simulation);

    TrayIcon& icon() { return icon_; }
    // The tip in the current language.
    void showTexts();

private:
    void showPicture(TrayPicture picture);
    QString tip() const;

    const lang::TextLookup& texts_;
    KeyboardController& keyboard_;
    TrayIcon icon_;
};

} // namespace velkan::app
