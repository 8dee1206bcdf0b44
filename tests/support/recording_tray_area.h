// A notification area that is always there (unless told otherwise) and keeps what the tray
// icon asked of it; the offscreen platform has no system tray.
#pragma once

#include "app/tray_icon.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkan::test {

struct TrayAreaCall {
    std::string what; // "show", "picture", "tip", "hide"
    app::TrayPicture picture;
    QString tip;
    bool operator==(const TrayAreaCall&) const = default;
};

// What the area was asked, kept apart from the area so a test can read it after the tray
// icon that owns the area is gone.
struct TrayAreaLog {
    bool available = true;
    bool reportsDoubleClicks = true;
    std::vector<TrayAreaCall> calls;
    std::function<void(QSystemTrayIcon::ActivationReason)> activate;
    std::function<void()> hostRestarted;

    int count(const std::string& what) const {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                              [&](const auto& call) { return call.what == what; }));
    }
    // Every picture the icon showed, in order.
    std::vector<app::TrayPicture> pictures() const {
        std::vector<app::TrayPicture> shown;
        for (const TrayAreaCall& call : calls) {
            if (call.what == "picture") {
                shown.push_back(call.picture);
            }
        }
        return shown;
    }
};

class RecordingTrayArea final : public app::TrayArea {
public:
    explicit RecordingTrayArea(std::shared_ptr<TrayAreaLog> log) : log_(std::move(log)) {}

    bool available() const override { return log_->available; }
    bool show(app::TrayPicture picture, const QString& tip) override {
        picture_ = picture;
        tip_ = tip;
        return record("show");
    }
    bool setPicture(app::TrayPicture picture) override {
        picture_ = picture;
        return record("picture");
    }
    bool setToolTip(const QString& tip) override {
        tip_ = tip;
        return record("tip");
    }
    void hide() override { record("hide"); }
    bool reportsDoubleClicks() const override { return log_->reportsDoubleClicks; }
    void setHandlers(std::function<void(QSystemTrayIcon::ActivationReason)> onActivated,
                     std::function<void()> onHostRestarted) override {
        log_->activate = std::move(onActivated);
        log_->hostRestarted = std::move(onHostRestarted);
    }

private:
    bool record(const char* what) {
        log_->calls.push_back({what, picture_, tip_});
        return true;
    }

    std::shared_ptr<TrayAreaLog> log_;
    app::TrayPicture picture_ = app::TrayPicture::noKeyboard;
    QString tip_;
};

} // namespace velkan::test
