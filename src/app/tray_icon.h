// The program's icon in the notification area, its popup menu, and the program's two menus
// (the tray menu and the main window's menu button), built from one command table each.
#pragma once

#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QtGlobal>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace velkan::lang {
class TextLookup;
}

namespace velkan::widgets {
class SkinMenu;
}

namespace velkan::app {

// Menu resources: the tray menu carries the tray icon's id.
inline constexpr int kTrayMenu = 140;
inline constexpr int kMainMenu = 144;

// Tray images: no keyboard, keyboard connected, the alternate image the keyboard asks for.
inline constexpr int kTrayImageNoKeyboard = 128;
inline constexpr int kTrayImageConnected = 141;
inline constexpr int kTrayImageAlternate = 142;

// The mouse messages a tray notification carries.
inline constexpr quint32 kLeftButtonDown = 0x0201;
inline constexpr quint32 kLeftDoubleClick = 0x0203;
inline constexpr quint32 kRightButtonUp = 0x0205;

// Builds menu resource `resourceId` with every item's text empty until a localiser fills it;
// nullptr for a number that names no menu. A parent, when given, must outlive the menu or be
// handed it with release().
std::unique_ptr<widgets::SkinMenu> loadMenu(int resourceId, QWidget* parent = nullptr);
// Fill in the texts of the tray menu and the main menu from the language file. Each sets only
// the items the menu has, so one can run on a menu built with fewer commands.
void localiseTrayMenu(widgets::SkinMenu& menu, const lang::TextLookup& texts);
void localiseMainMenu(widgets::SkinMenu& menu, const lang::TextLookup& texts);

// Icons/tray_<id>.png in the program folder.
std::filesystem::path trayImagePath(int iconId);

// The mouse message a tray activation stands for. A host that never reports double clicks
// reports the user's one activation as Trigger; that is the click meant to open the window, so
// it counts as the double click. nullopt for activations the icon does not answer.
std::optional<quint32> mouseMessageFor(QSystemTrayIcon::ActivationReason reason,
                                       bool hostReportsDoubleClicks);

// What the platform keeps of the icon.
struct TrayIconRecord {
    int id = 0;
    quint32 callbackMessage = 0;
    int iconId = 0; // a tray image
    QString tip;
};

enum class TrayIconField { icon, tip };

// The notification area, as the icon uses it. The program's is the desktop's system tray;
// tests put a recording one in its place.
class TrayArea {
public:
    virtual ~TrayArea() = default;

    virtual bool available() const = 0;
    virtual bool add(const TrayIconRecord& record) = 0;
    virtual bool modify(TrayIconField field, const TrayIconRecord& record) = 0;
    virtual bool remove(const TrayIconRecord& record) = 0;

    // Where the area reports the user's clicks on the icon (as mouse messages) and that it
    // came back after its host restarted, having forgotten every icon.
    virtual void setHandlers(std::function<void(quint32 mouseMessage)> onMouse,
                             std::function<void()> onHostRestarted) = 0;
};

// The desktop's system tray. A D-Bus (StatusNotifierItem) tray is recognised the way Qt picks
// its tray backend: the session bus has a StatusNotifierWatcher with a host registered when the
// area is made. Such a host reports no double clicks, and its watcher's coming back on the bus
// is how the area learns that the panel restarted.
std::unique_ptr<TrayArea> makeSystemTrayArea();

class TrayIcon {
public:
    // `onCommand` receives the command of a chosen menu item and of a double click.
    explicit TrayIcon(std::function<void(int command)> onCommand,
                      std::unique_ptr<TrayArea> area = makeSystemTrayArea());
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon showing tray image `iconId`. Fails, doing nothing, without a system tray
    // or an owner; the owner parents the popup menu.
    bool Create(QWidget* owner, quint32 callbackMessage, const QString& tip, int iconId, int id);
    // Each only once the icon is created. A tip is cut to the 127 UTF-16 units the icon
    // record holds, one fewer when the cut would split a surrogate pair, so no half character
    // is left at its end.
    bool SetIcon(int iconId);
    bool SetTooltip(const QString& tip);
    bool Remove();
    // Take the icon away for a while and put it back with its image and tip; each only when
    // created and in the opposite state.
    bool HideIcon();
    bool ShowIcon();
    // A single click only marks a click as pending: no command is ever sent for it.
    void SetSingleClickCommand(int command) { singleClickCommand_ = command; }
    // Called with the popup menu before it is shown, to fill in its texts.
    void SetMenuCallback(std::function<void(widgets::SkinMenu&)> callback) {
        menuCallback_ = std::move(callback);
    }

    // `wParam` the icon's id, `lParam` the mouse message. 0 when the id is not this icon's.
    qintptr OnTrayNotification(quintptr wParam, qintptr lParam);

    bool created() const { return created_; }
    bool hidden() const { return hidden_; }
    // A left press with a single-click command set, not yet followed by a double click.
    bool clickPending() const { return clickPending_; }

private:
    void onHostRestarted();
    void popupMenu();
    void sendDefaultCommand();

    std::function<void(int)> onCommand_;
    std::unique_ptr<TrayArea> area_;
    QPointer<QWidget> owner_;
    TrayIconRecord record_;
    bool created_ = false;
    bool hidden_ = false;
    int singleClickCommand_ = 0;
    bool clickPending_ = false;
    std::function<void(widgets::SkinMenu&)> menuCallback_;
    // The popup on screen, closed with the icon so its commands never outlive it.
    QPointer<widgets::SkinMenu> popup_;
};

} // namespace velkan::app
