#include "app/keyboard_tray.h"

#include <QMenu>

namespace velkan::app {

KeyboardTray::KeyboardTray(QWidget& owner, const lang::TextLookup& texts,
                           KeyboardController& keyboard, std::unique_ptr<TrayArea> area,
                           const std::optional<Simulation>& simulation)
    : texts_(texts), keyboard_(keyboard), icon_(owner, texts, std::move(area)) {
    if (simulation) {
        icon_.setMenuExtras([simulation = *simulation](QMenu& menu) {
            menu.addSeparator();
            addSimulationMenu(menu, simulation);
        });
    }
    icon_.create(tip(), TrayPicture::noKeyboard);
    connect(&keyboard_, &KeyboardController::arrived, this, [this] {
        showPicture(TrayPicture::connected);
        showTexts();
    });
    connect(&keyboard_, &KeyboardController::removed, this, [this] {
        showPicture(TrayPicture::noKeyboard);
        showTexts();
    });
    connect(&keyboard_, &KeyboardController::trayImageRequested, this,
            [this](device::TrayImage image) {
                showPicture(image == device::TrayImage::alternate ? TrayPicture::alternate
                            : keyboard_.present()                 ? TrayPicture::connected
                                                                  : TrayPicture::noKeyboard);
            });
}

void KeyboardTray::showTexts() {
    icon_.setToolTip(tip());
}

void KeyboardTray::showPicture(TrayPicture picture) {
    // A removed icon (the program is ending) stays as it was.
    if (icon_.created() && icon_.picture() != picture) {
        icon_.setPicture(picture);
    }
}

QString KeyboardTray::tip() const {
    return QString::fromStdString(
        texts_.text("KEYBOARD_TRAY_DESC") + "\n" +
        texts_.text(keyboard_.present() ? "TRAY_KEYBOARD_CONNECTED" : "TRAY_NO_KEYBOARD"));
}

} // namespace velkan::app
