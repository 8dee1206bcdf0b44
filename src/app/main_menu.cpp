#include "app/main_menu.h"

#include "app/window_messages.h"
#include "device/input_report_reader.h"
#include "platform/autostart.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "storage/profile_list.h"
#include "widgets/skin_menu.h"

namespace velkan::app {

namespace {

struct MenuItem {
    int command; // 0: a separator
    std::string_view textKey;
};

constexpr MenuItem kSeparator{0, {}};
constexpr MenuItem kMainMenuItems[] = {
    {command::kImport, lang::textKey("MENU_1")},
    {command::kExport, lang::textKey("MENU_2")},
    kSeparator,
    {command::kAbout, lang::textKey("MENU_3")},
    {command::kFirmwareUpdate, lang::textKey("MENU_5")},
    kSeparator,
    {command::kMenuExit, lang::textKey("MENU_4")},
};

} // namespace

std::unique_ptr<widgets::SkinMenu> mainMenuCommands(QWidget* parent,
                                                    const lang::TextLookup& texts) {
    auto menu = std::make_unique<widgets::SkinMenu>(parent);
    for (const MenuItem& item : kMainMenuItems) {
        if (item.command == 0) {
            menu->addSeparator();
        } else {
            menu->addCommand(item.command, QString::fromStdString(texts.text(item.textKey)));
        }
    }
    return menu;
}

std::unique_ptr<widgets::SkinMenu> buildMainMenu(QWidget* parent, const lang::TextLookup& texts,
                                                 storage::AppProfile& appProfile,
                                                 const std::optional<Simulation>& simulation) {
    std::unique_ptr<widgets::SkinMenu> menu = mainMenuCommands(parent, texts);
    // The profile list: switching the keyboard's profile from the menu.
    menu->addSeparator();
    for (const storage::ProfileMenuEntry& entry : storage::profileMenuEntries(appProfile, texts)) {
        menu->addCommand(entry.command, QString::fromStdString(entry.text))
            ->setEnabled(entry.enabled);
    }
    // Starting with the desktop session: the program then lives in the tray from log-in on.
    menu->addSeparator();
    QAction* autostart = menu->addAction(QString::fromStdString(texts.text("MENU_AUTOSTART")));
    autostart->setCheckable(true);
    autostart->setChecked(platform::autostartEnabled());
    QObject::connect(autostart, &QAction::toggled, [](bool on) { platform::setAutostart(on); });
    if (simulation) {
        addSimulationMenu(*menu, *simulation);
    }
    return menu;
}

void addSimulationMenu(QMenu& menu, const Simulation& simulation) {
    // Not translated: the simulated keyboard is a developer's and tester's tool.
    QMenu* sim = menu.addMenu(QStringLiteral("Simulated keyboard"));
    QAction* unplug = sim->addAction(QStringLiteral("Unplug"), [simulation] {
        simulation.backend->unplug(simulation.keyboard);
    });
    QAction* plug = sim->addAction(QStringLiteral("Plug in"),
                                   [simulation] { simulation.backend->plug(simulation.keyboard); });
    const bool plugged = simulation.backend->plugged(simulation.keyboard);
    unplug->setEnabled(plugged);
    plug->setEnabled(!plugged);
    sim->addSeparator();
    sim->addAction(QStringLiteral("Change lighting on the keyboard"),
                   [simulation] { simulation.keyboard->changeLightingOnKeyboard(); });
    sim->addAction(QStringLiteral("Reset the keyboard"),
                   [simulation] { simulation.keyboard->factoryReset(); });
    sim->addAction(QStringLiteral("Alternate tray icon"), [simulation] {
        simulation.keyboard->sendEvent(device::event_code::kTrayIconAlternate);
    });
    sim->addAction(QStringLiteral("Usual tray icon"), [simulation] {
        simulation.keyboard->sendEvent(device::event_code::kTrayIconRestore);
    });
}

} // namespace velkan::app
