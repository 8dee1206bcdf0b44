// The program's icon in the notification area: its picture follows the keyboard, its tooltip
// says what it is, a double click opens the window, and its menu offers the window, About and
// Exit.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <filesystem>
#include <functional>
#include <memory>

class QMenu;
class QWidget;

namespace velkan::lang {
class TextLookup;
}

namespace velkan::widgets {
class SkinMenu;
}

namespace velkan::app {

enum class TrayPicture {
    noKeyboard,
    connected,
    alternate, // the keyboard's other picture, which it asks for itself
};

// Icons/tray_<number>.png in the program folder; the numbers are those of the shipped files.
std::filesystem::path trayImagePath(TrayPicture picture);

// The notification area, as the icon uses it. The program's is the desktop's system tray;
// tests put a recording one in its place.
class TrayArea {
public:
    virtual ~TrayArea() = default;

    virtual bool available() const = 0;
    virtual bool show(TrayPicture picture, const QString& tip) = 0;
    virtual bool setPicture(TrayPicture picture) = 0;
    virtual bool setToolTip(const QString& tip) = 0;
    virtual void hide() = 0;
    // A StatusNotifierItem host reports the user's one activation as a Trigger and never a
    // double click.
    virtual bool reportsDoubleClicks() const = 0;
    // Where the area reports the user's activations of the icon and that it came back after
    // its host restarted, having forgotten every icon.
    virtual void setHandlers(std::function<void(QSystemTrayIcon::ActivationReason)> onActivated,
                             std::function<void()> onHostRestarted) = 0;
};

// The desktop's system tray. A D-Bus (StatusNotifierItem) tray is recognised the way Qt picks
// its tray backend: the session bus has a StatusNotifierWatcher with a host registered when the
// area is made. Its watcher's coming back on the bus is how the area learns that the panel
// restarted.
std::unique_ptr<TrayArea> makeSystemTrayArea();

class TrayIcon : public QObject {
    Q_OBJECT

public:
    // `owner` parents the menu.
    TrayIcon(QWidget& owner, const lang::TextLookup& texts,
             std::unique_ptr<TrayArea> area = makeSystemTrayArea());
    ~TrayIcon() override;

    // Puts the icon in the area; false, doing nothing, without a notification area.
    bool create(const QString& tip, TrayPicture picture);
    // Each only once the icon is created. A tip is cut to 127 UTF-16 units, one fewer when
    // the cut would split a surrogate pair, so no half character is left at its end.
    bool setPicture(TrayPicture picture);
    bool setToolTip(const QString& tip);
    bool remove();
    // Takes the icon away for a while and puts it back with its picture and tip; each only
    // when created and in the opposite state.
    bool hideIcon();
    bool showIcon();
    // Adds items of the caller's to the end of the menu each time it opens.
    void setMenuExtras(std::function<void(QMenu&)> extras) { menuExtras_ = std::move(extras); }

    bool created() const { return created_; }
    bool hidden() const { return hidden_; }
    TrayPicture picture() const { return picture_; }

signals:
    void openRequested();
    void aboutRequested();
    void exitRequested();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void onHostRestarted();
    void popupMenu();

    const lang::TextLookup& texts_;
    std::unique_ptr<TrayArea> area_;
    QPointer<QWidget> owner_;
    TrayPicture picture_ = TrayPicture::noKeyboard;
    QString tip_;
    bool created_ = false;
    bool hidden_ = false;
    std::function<void(QMenu&)> menuExtras_;
    // The popup on screen, closed with the icon so its items never outlive it.
    QPointer<widgets::SkinMenu> popup_;
};

} // namespace velkan::app
