#include "app/tray_icon.h"

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
#include <optional>
#include <string>

namespace velkan::app {

namespace {

std::optional<QPixmap> trayImage(TrayPicture picture) {
    const std::optional<QImage> image = skin::loadSkinImage(trayImagePath(picture));
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
        : reportsDoubleClicks_(!statusNotifierHostRegistered(QDBusConnection::sessionBus())),
          watcher_(kWatcherService, QDBusConnection::sessionBus(),
                   QDBusServiceWatcher::WatchForRegistration) {
        QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (onActivated_) {
                                 onActivated_(reason);
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

    bool show(TrayPicture picture, const QString& tip) override {
        if (!setPicture(picture)) {
            return false;
        }
        icon_.setToolTip(tip);
        icon_.show();
        return true;
    }

    bool setPicture(TrayPicture picture) override {
        const std::optional<QPixmap> image = trayImage(picture);
        if (!image) {
            return false;
        }
        icon_.setIcon(QIcon(*image));
        return true;
    }

    bool setToolTip(const QString& tip) override {
        icon_.setToolTip(tip);
        return true;
    }

    void hide() override { icon_.hide(); }

    bool reportsDoubleClicks() const override { return reportsDoubleClicks_; }

    void setHandlers(std::function<void(QSystemTrayIcon::ActivationReason)> onActivated,
                     std::function<void()> onHostRestarted) override {
        onActivated_ = std::move(onActivated);
        onHostRestarted_ = std::move(onHostRestarted);
    }

private:
    QSystemTrayIcon icon_;
    bool reportsDoubleClicks_;
    QDBusServiceWatcher watcher_;
    std::function<void(QSystemTrayIcon::ActivationReason)> onActivated_;
    std::function<void()> onHostRestarted_;
};

} // namespace

std::filesystem::path trayImagePath(TrayPicture picture) {
    int number = 128;
    switch (picture) {
    case TrayPicture::noKeyboard:
        break;
    case TrayPicture::connected:
        number = 141;
        break;
    case TrayPicture::alternate:
        number = 142;
        break;
    }
    return platform::programFolder() / "Icons" / ("tray_" + std::to_string(number) + ".png");
}

std::unique_ptr<TrayArea> makeSystemTrayArea() {
    return std::make_unique<SystemTrayArea>();
}

TrayIcon::TrayIcon(QWidget& owner, const lang::TextLookup& texts, std::unique_ptr<TrayArea> area)
    : texts_(texts), area_(std::move(area)), owner_(&owner) {
    area_->setHandlers([this](QSystemTrayIcon::ActivationReason reason) { activated(reason); },
                       [this] { onHostRestarted(); });
}

TrayIcon::~TrayIcon() {
    delete popup_.data();
}

bool TrayIcon::create(const QString& tip, TrayPicture picture) {
    if (!area_->available()) {
        return false;
    }
    picture_ = picture;
    tip_ = trayTipText(tip);
    hidden_ = false;
    created_ = area_->show(picture_, tip_);
    return created_;
}

bool TrayIcon::setPicture(TrayPicture picture) {
    if (!created_) {
        return false;
    }
    picture_ = picture;
    return hidden_ || area_->setPicture(picture);
}

bool TrayIcon::setToolTip(const QString& tip) {
    if (!created_) {
        return false;
    }
    tip_ = trayTipText(tip);
    return hidden_ || area_->setToolTip(tip_);
}

bool TrayIcon::remove() {
    if (!popup_.isNull()) {
        popup_->close();
    }
    const bool wasShown = created_ && !hidden_;
    if (wasShown) {
        area_->hide();
    }
    created_ = false;
    return wasShown;
}

bool TrayIcon::hideIcon() {
    if (!created_ || hidden_) {
        return false;
    }
    hidden_ = true;
    area_->hide();
    return true;
}

bool TrayIcon::showIcon() {
    if (!created_ || !hidden_) {
        return false;
    }
    hidden_ = false;
    return area_->show(picture_, tip_);
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
    if (!created_) {
        return;
    }
    switch (reason) {
    case QSystemTrayIcon::Context:
        popupMenu();
        break;
    case QSystemTrayIcon::DoubleClick:
        emit openRequested();
        break;
    case QSystemTrayIcon::Trigger:
        // Where the host reports no double clicks, its one activation is the click meant to
        // open the window; elsewhere a single click does nothing.
        if (!area_->reportsDoubleClicks()) {
            emit openRequested();
        }
        break;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void TrayIcon::onHostRestarted() {
    if (created_ && !hidden_) {
        hideIcon();
        showIcon();
    }
}

void TrayIcon::popupMenu() {
    if (!popup_.isNull()) {
        popup_->close();
    }
    auto* menu = new widgets::SkinMenu(owner_);
    const auto item = [this, menu](std::string_view textKey) {
        return menu->addAction(QString::fromStdString(texts_.text(textKey)));
    };
    QAction* open = item(lang::textKey("MENU_11"));
    connect(open, &QAction::triggered, this, &TrayIcon::openRequested);
    connect(item(lang::textKey("MENU_22")), &QAction::triggered, this, &TrayIcon::aboutRequested);
    connect(item(lang::textKey("MENU_33")), &QAction::triggered, this, &TrayIcon::exitRequested);
    // What a double click does.
    menu->setDefaultItem(open);
    if (menuExtras_) {
        menuExtras_(*menu);
    }
    popup_ = menu;
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(QCursor::pos());
}

} // namespace velkan::app
