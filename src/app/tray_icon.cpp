#include "app/tray_icon.h"

#include "app/window_messages.h"
#include "lang/text_lookup.h"
#include "platform/paths.h"
#include "skin/skin_layout.h"
#include "widgets/skin_menu.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QIcon>
#include <QPixmap>
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace velkan::app {

namespace {

struct MenuItem {
    int command; // 0: a separator
    std::string_view textKey;
};

constexpr MenuItem kSeparator{0, {}};

constexpr std::array kTrayMenuItems{
    MenuItem{command::kOpenWindow, lang::textKey("MENU_11")},
    MenuItem{command::kAbout, lang::textKey("MENU_22")},
    MenuItem{command::kTrayExit, lang::textKey("MENU_33")},
};

constexpr std::array kMainMenuItems{
    MenuItem{command::kImport, lang::textKey("MENU_1")},
    MenuItem{command::kExport, lang::textKey("MENU_2")},
    kSeparator,
    MenuItem{command::kAbout, lang::textKey("MENU_3")},
    MenuItem{command::kFirmwareUpdate, lang::textKey("MENU_5")},
    kSeparator,
    MenuItem{command::kMenuExit, lang::textKey("MENU_4")},
};

std::optional<std::span<const MenuItem>> menuItems(int resourceId) {
    switch (resourceId) {
    case kTrayMenu:
        return kTrayMenuItems;
    case kMainMenu:
        return kMainMenuItems;
    default:
        return std::nullopt;
    }
}

void localise(widgets::SkinMenu& menu, std::span<const MenuItem> items,
              const lang::TextLookup& texts) {
    for (const MenuItem& item : items) {
        if (item.command != 0) {
            menu.setCommandText(item.command, QString::fromStdString(texts.text(item.textKey)));
        }
    }
}

std::optional<QPixmap> trayImage(int iconId) {
    const std::optional<QImage> image = skin::loadSkinImage(trayImagePath(iconId));
    if (!image) {
        return std::nullopt;
    }
    return QPixmap::fromImage(*image);
}

// The longest tip the icon record holds, in UTF-16 units.
constexpr qsizetype kTrayTipLength = 127;

QString trayTipText(const QString& text) {
    if (text.size() <= kTrayTipLength) {
        return text;
    }
    const bool splitsPair = text.at(kTrayTipLength - 1).isHighSurrogate();
    return text.left(splitsPair ? kTrayTipLength - 1 : kTrayTipLength);
}

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
// Only asked once, at start-up; a watcher that does not answer by then is taken as absent.
constexpr int kWatcherTimeoutMs = 1000;

// The test Qt makes before it serves the tray over D-Bus.
bool statusNotifierHostRegistered(const QDBusConnection& bus) {
    if (!bus.isConnected()) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, kWatcherTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return false;
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

class SystemTrayArea final : public TrayArea {
public:
    SystemTrayArea()
        : hostReportsDoubleClicks_(!statusNotifierHostRegistered(QDBusConnection::sessionBus())),
          watcher_(kWatcherService, QDBusConnection::sessionBus(),
                   QDBusServiceWatcher::WatchForRegistration) {
        QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             const std::optional<quint32> message =
                                 mouseMessageFor(reason, hostReportsDoubleClicks_);
                             if (message && onMouse_) {
                                 onMouse_(*message);
                             }
                         });
        // A panel that restarts starts its watcher anew, which knows none of the old icons.
        QObject::connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, &watcher_, [this] {
            if (onHostRestarted_) {
                onHostRestarted_();
            }
        });
    }

    bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

    bool add(const TrayIconRecord& record) override {
        const std::optional<QPixmap> image = trayImage(record.iconId);
        if (!image) {
            return false;
        }
        icon_.setIcon(QIcon(*image));
        icon_.setToolTip(record.tip);
        icon_.show();
        return true;
    }

    bool modify(TrayIconField field, const TrayIconRecord& record) override {
        if (field == TrayIconField::tip) {
            icon_.setToolTip(record.tip);
            return true;
        }
        const std::optional<QPixmap> image = trayImage(record.iconId);
        if (!image) {
            return false;
        }
        icon_.setIcon(QIcon(*image));
        return true;
    }

    bool remove(const TrayIconRecord&) override {
        icon_.hide();
        return true;
    }

    void setHandlers(std::function<void(quint32)> onMouse,
                     std::function<void()> onHostRestarted) override {
        onMouse_ = std::move(onMouse);
        onHostRestarted_ = std::move(onHostRestarted);
    }

private:
    QSystemTrayIcon icon_;
    bool hostReportsDoubleClicks_;
    QDBusServiceWatcher watcher_;
    std::function<void(quint32)> onMouse_;
    std::function<void()> onHostRestarted_;
};

} // namespace

std::unique_ptr<widgets::SkinMenu> loadMenu(int resourceId, QWidget* parent) {
    const std::optional<std::span<const MenuItem>> items = menuItems(resourceId);
    if (!items) {
        return nullptr;
    }
    auto menu = std::make_unique<widgets::SkinMenu>(parent);
    for (const MenuItem& item : *items) {
        if (item.command == 0) {
            menu->addSeparator();
        } else {
            menu->addCommand(item.command, QString());
        }
    }
    return menu;
}

void localiseTrayMenu(widgets::SkinMenu& menu, const lang::TextLookup& texts) {
    localise(menu, kTrayMenuItems, texts);
}

void localiseMainMenu(widgets::SkinMenu& menu, const lang::TextLookup& texts) {
    localise(menu, kMainMenuItems, texts);
}

std::filesystem::path trayImagePath(int iconId) {
    return platform::programFolder() / "Icons" / ("tray_" + std::to_string(iconId) + ".png");
}

std::optional<quint32> mouseMessageFor(QSystemTrayIcon::ActivationReason reason,
                                       bool hostReportsDoubleClicks) {
    switch (reason) {
    case QSystemTrayIcon::Context:
        return kRightButtonUp;
    case QSystemTrayIcon::DoubleClick:
        return kLeftDoubleClick;
    case QSystemTrayIcon::Trigger:
        return hostReportsDoubleClicks ? kLeftButtonDown : kLeftDoubleClick;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return std::nullopt;
}

std::unique_ptr<TrayArea> makeSystemTrayArea() {
    return std::make_unique<SystemTrayArea>();
}

TrayIcon::TrayIcon(std::function<void(int command)> onCommand, std::unique_ptr<TrayArea> area)
    : onCommand_(std::move(onCommand)), area_(std::move(area)) {
    area_->setHandlers(
        [this](quint32 mouseMessage) {
            OnTrayNotification(static_cast<quintptr>(record_.id), mouseMessage);
        },
        [this] { onHostRestarted(); });
}

TrayIcon::~TrayIcon() {
    delete popup_.data();
}

bool TrayIcon::Create(QWidget* owner, quint32 callbackMessage, const QString& tip, int iconId,
                      int id) {
    if (owner == nullptr || !area_->available()) {
        return false;
    }
    owner_ = owner;
    record_ = TrayIconRecord{id, callbackMessage, iconId, trayTipText(tip)};
    hidden_ = false;
    created_ = area_->add(record_);
    return created_;
}

bool TrayIcon::SetIcon(int iconId) {
    if (!created_) {
        return false;
    }
    record_.iconId = iconId;
    return area_->modify(TrayIconField::icon, record_);
}

bool TrayIcon::SetTooltip(const QString& tip) {
    if (!created_) {
        return false;
    }
    record_.tip = trayTipText(tip);
    return area_->modify(TrayIconField::tip, record_);
}

bool TrayIcon::Remove() {
    if (!popup_.isNull()) {
        popup_->close();
    }
    const bool removed = area_->remove(record_);
    created_ = false;
    return removed;
}

bool TrayIcon::HideIcon() {
    if (!created_ || hidden_) {
        return false;
    }
    hidden_ = true;
    return area_->remove(record_);
}

bool TrayIcon::ShowIcon() {
    if (!created_ || !hidden_) {
        return false;
    }
    hidden_ = false;
    return area_->add(record_);
}

qintptr TrayIcon::OnTrayNotification(quintptr wParam, qintptr lParam) {
    if (record_.id < 0 || wParam != static_cast<quintptr>(record_.id)) {
        return 0;
    }
    switch (lParam) {
    case kRightButtonUp:
        popupMenu();
        break;
    case kLeftDoubleClick:
        clickPending_ = false;
        sendDefaultCommand();
        break;
    case kLeftButtonDown:
        if (singleClickCommand_ != 0) {
            clickPending_ = true;
        }
        break;
    default:
        break;
    }
    return 1;
}

void TrayIcon::onHostRestarted() {
    if (created_ && !hidden_) {
        HideIcon();
        ShowIcon();
    }
}

void TrayIcon::popupMenu() {
    std::unique_ptr<widgets::SkinMenu> menu = loadMenu(record_.id, owner_);
    if (menu == nullptr) {
        return;
    }
    // Every menu starts with a command; it is what a double click runs.
    menu->setDefaultItem(menu->actions().constFirst());
    if (menuCallback_) {
        menuCallback_(*menu);
    }
    if (!popup_.isNull()) {
        popup_->close();
    }
    widgets::SkinMenu* shown = menu.release();
    popup_ = shown;
    QObject::connect(shown, &QMenu::aboutToHide, shown, &QObject::deleteLater);
    QObject::connect(shown, &widgets::SkinMenu::commandTriggered, shown, [this](int command) {
        if (onCommand_) {
            onCommand_(command);
        }
    });
    shown->popup(QCursor::pos());
}

void TrayIcon::sendDefaultCommand() {
    const std::optional<std::span<const MenuItem>> items = menuItems(record_.id);
    if (items && !items->empty() && onCommand_) {
        onCommand_(items->front().command);
    }
}

} // namespace velkan::app
