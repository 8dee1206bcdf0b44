// Recording on the macro page: the record button, the option to keep the measured delays, and
// the keys and mouse buttons that become actions of the selected macro while it records.
#pragma once

#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "platform/key_event_translation.h"
#include "storage/app_profile.h"

#include <QObject>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <vector>

class QCheckBox;
class QLabel;
class QWidget;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::editors {

class ActionList;

class MacroRecorder : public QObject {
    Q_OBJECT

public:
    // Milliseconds of a steady clock.
    using Clock = std::function<std::uint64_t()>;

    struct Parts {
        QWidget& dialog; // the controls are placed on it
        std::filesystem::path iniPath;
        std::filesystem::path iniFolder;
        storage::AppProfile& appProfile;
        const lang::TextLookup& texts;
        // Recorded actions go there.
        ActionList& actions;
        // Whether a macro is selected, which recording needs.
        std::function<bool()> macroSelected;
    };
    // Creates the controls, hidden.
    MacroRecorder(Parts parts, Clock clock);
    ~MacroRecorder() override;

    std::vector<QWidget*> controls() const;
    void reloadTexts();
    void setClock(Clock clock) { clock_ = std::move(clock); }
    // Reads the record-delay option from the settings.
    void readDelayOption();
    // The record button is on only while a macro is shown.
    void setEnabled(bool enabled);

    bool recording() const { return recording_; }
    void stop();
    // A key event while recording; true when it was taken.
    bool recordKey(const platform::NativeKeyEvent& event);
    // A mouse button (the message numbers of the key codes' mouse table); true when taken.
    bool recordMouse(std::uint32_t mouseMessage);

signals:
    void recordingChanged(bool recording);

protected:
    // Mouse buttons on the action list while recording become recorded actions.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start();
    void toggleDelayOption(bool on);
    std::uint32_t delaySinceLastEvent();
    void addAction(model::KeyCode key, bool released, std::uint32_t measuredDelay);

    Parts parts_;
    Clock clock_;
    skin::ImageButton* recordButton_ = nullptr;
    QCheckBox* recordDelayBox_ = nullptr;
    QLabel* recordDelayLabel_ = nullptr;

    bool recordDelay_ = false;
    bool recording_ = false;
    std::uint64_t lastEventMs_ = 0;
    // A Windows key that is down while recording; its repeated presses are not actions.
    std::optional<std::uint8_t> heldWindowsKey_;
    // Keys reported by their release alone on some desktops, whose press did arrive here.
    std::set<model::KeyCode> pressedKeys_;
};

} // namespace velkan::editors
