#include "app/main_menu.h"

#include "device/input_report_reader.h"
#include "platform/autostart.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "storage/profile_list.h"
#include "widgets/skin_menu.h"

namespace velkan::app {

namespace {

struct MenuItem {
    std::optional<MenuCommand> command; // none: a separator
    std::string_view textKey;
};

constexpr MenuItem kSeparator{std::nullopt, {}};
constexpr MenuItem kMainMenuItems[] = {
    {MenuCommand::importProfile, lang::textKey("MENU_1")},
    {MenuCommand::exportProfile, lang::textKey("MENU_2")},
    kSeparator,
    {MenuCommand::about, lang::textKey("MENU_3")},
    {MenuCommand::firmwareUpdate, lang::textKey("MENU_5")},
    kSeparator,
    {MenuCommand::exit, lang::textKey("MENU_4")},
};

} // namespace

std::unique_ptr<widgets::SkinMenu> mainMenuCommands(QWidget* parent, const lang::TextLookup& texts,
                                                    const MenuChoice& choice) {
    auto menu = std::make_unique<widgets::SkinMenu>(parent);
    for (const MenuItem& item : kMainMenuItems) {
        if (!item.command) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromStdString(texts.text(item.textKey)));
        QObject::connect(action, &QAction::triggered,
                         [command = *item.command, report = choice.command] { report(command); });
    }
    return menu;
}

std::unique_ptr<widgets::SkinMenu> buildMainMenu(QWidget* parent, const lang::TextLookup& texts,
                                                 storage::AppProfile& appProfile,
                                                 const std::optional<Simulation>& simulation,
                                                 const MenuChoice& choice) {
    std::unique_ptr<widgets::SkinMenu> menu = mainMenuCommands(parent, texts, choice);
    // The profile list: switching the keyboard's profile from the menu.
    menu->addSeparator();
    for (const storage::ProfileMenuEntry& entry : storage::profileMenuEntries(appProfile, texts)) {
        QAction* action = menu->addAction(QString::fromStdString(entry.text));
        action->setEnabled(entry.enabled);
        if (entry.row) {
            QObject::connect(action, &QAction::triggered,
                             [row = *entry.row, report = choice.profile] { report(row); });
        }
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
