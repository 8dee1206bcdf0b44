// The menu of the main window's menu button: the file and program commands of its table, the
// profile list, starting with the desktop session, and, on a simulated keyboard, the
// simulation's own submenu.
#pragma once

#include "lang/text_lookup.h"
#include "storage/app_profile.h"

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class QWidget;

namespace velkan::sim {
class SimHidBackend;
class SimulatedKeyboard;
} // namespace velkan::sim

namespace velkan::widgets {
class SkinMenu;
}

namespace velkan::app {

// A simulated keyboard the program runs on in place of hardware, with the backend it is
// plugged into; the menus then offer to unplug it and to raise its events.
struct Simulation {
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    sim::SimHidBackend* backend = nullptr; // owned by the keyboard controller
};

enum class MenuCommand { importProfile, exportProfile, about, firmwareUpdate, exit };

// What the menu reports: one of its commands, or a row of the profile list.
struct MenuChoice {
    std::function<void(MenuCommand)> command;
    std::function<void(int profile)> profile;
};

// The file and program commands (import, export, About, firmware update, exit) in the current
// language.
std::unique_ptr<widgets::SkinMenu> mainMenuCommands(QWidget* parent, const lang::TextLookup& texts,
                                                    const MenuChoice& choice);
// The whole menu: its commands, the profile list, autostart and the simulation's submenu.
std::unique_ptr<widgets::SkinMenu> buildMainMenu(QWidget* parent, const lang::TextLookup& texts,
                                                 storage::AppProfile& appProfile,
                                                 const std::optional<Simulation>& simulation,
                                                 const MenuChoice& choice);
// "Simulated keyboard": plug, unplug and the keyboard's own events, acted on at once.
void addSimulationMenu(QMenu& menu, const Simulation& simulation);

} // namespace velkan::app
