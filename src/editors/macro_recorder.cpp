#include "editors/macro_recorder.h"

#include "editors/action_list.h"
#include "editors/editor_look.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>

namespace velkan::editors {
namespace {

// Mouse button messages as the key codes' mouse table numbers them.
constexpr std::uint32_t kLeftButtonDown = 0x201;
constexpr std::uint32_t kLeftButtonUp = 0x202;
constexpr std::uint32_t kRightButtonDown = 0x204;
constexpr std::uint32_t kRightButtonUp = 0x205;
constexpr std::uint32_t kMiddleButtonDown = 0x207;
constexpr std::uint32_t kMiddleButtonUp = 0x208;

constexpr std::uint8_t kLeftWindowsVk = 0x5B;
constexpr std::uint8_t kRightWindowsVk = 0x5C;

constexpr std::string_view kOptionSection = "PROFILES";
// Named apart from any language, so that the option outlives a change of language.
constexpr std::string_view kRecordDelayEntry = "RecordDelay";

// Every recorded step when the measured delays are not wanted.
constexpr std::uint32_t kFixedRecordedDelay = 50;
// How long a key whose press never arrives is held before its release.
constexpr std::uint32_t kSyntheticPressDelay = 2;

std::uint32_t mouseMessage(Qt::MouseButton button, bool release) {
    switch (button) {
    case Qt::LeftButton:
        return release ? kLeftButtonUp : kLeftButtonDown;
    case Qt::RightButton:
        return release ? kRightButtonUp : kRightButtonDown;
    case Qt::MiddleButton:
        return release ? kMiddleButtonUp : kMiddleButtonDown;
    default:
        return 0;
    }
}

bool isMediaKey(model::KeyCode code) {
    const auto& media = model::MediaKeyTable();
    return std::any_of(media.begin(), media.end(),
                       [code](const model::MediaKey& key) { return key.code == code; });
}

} // namespace

MacroRecorder::MacroRecorder(Parts parts, Clock clock)
    : parts_(std::move(parts)), clock_(std::move(clock)) {
    QWidget& dialog = parts_.dialog;
    const std::filesystem::path& iniPath = parts_.iniPath;
    recordButton_ = newEditorButton(dialog, "recordButton");
    skin::placeImageButton(*recordButton_, iniPath, skin::kButtonSection, "FUNC_MACRO_RECORD",
                           editorPictures(parts_.iniFolder, kMacroPictures));
    recordButton_->setTextStyle(editorCaptionStyle());
    connect(recordButton_, &QAbstractButton::clicked, this, [this] {
        if (recording_) {
            stop();
        } else {
            start();
        }
    });

    recordDelayBox_ = new QCheckBox(&dialog);
    recordDelayBox_->setObjectName(QStringLiteral("recordDelayBox"));
    skin::placeControl(*recordDelayBox_, iniPath, skin::kButtonSection, "FUNC_MACRO_RECORD_DELAY");
    widgets::applySkinLook(*recordDelayBox_);
    connect(recordDelayBox_, &QCheckBox::clicked, this, &MacroRecorder::toggleDelayOption);

    recordDelayLabel_ = newEditorLabel(dialog, "recordDelayLabel");
    skin::placeControl(*recordDelayLabel_, iniPath, skin::kButtonSection,
                       "FUNC_MACRO_RECORD_DELAY2");
    for (QWidget* control : controls()) {
        control->hide();
    }
    connect(&parts_.actions, &ActionList::delayEditStarted, this, &MacroRecorder::stop);
    parts_.actions.list().viewport()->installEventFilter(this);
}

MacroRecorder::~MacroRecorder() = default;

std::vector<QWidget*> MacroRecorder::controls() const {
    return {recordButton_, recordDelayBox_, recordDelayLabel_};
}

void MacroRecorder::reloadTexts() {
    recordButton_->setText(QString::fromStdString(
        parts_.texts.text(recording_ ? "MACRO_ACTION_STOP_RECORD" : "A_RECORD")));
    recordDelayLabel_->setText(QString::fromStdString(parts_.texts.text("RECORD_DELAY")));
}

void MacroRecorder::readDelayOption() {
    const bool named = parts_.appProfile.readString(kOptionSection, kRecordDelayEntry).has_value();
    // Settings written before the entry had a name of its own keep it under the text the
    // language in use then gave it; it is read from there once.
    const int stored =
        named ? parts_.appProfile.readInt(kOptionSection, kRecordDelayEntry, 0)
              : parts_.appProfile.readInt(kOptionSection,
                                          parts_.texts.text("MACRO_ACTION_RECORD_DELAY"), 0);
    recordDelay_ = stored == 1;
    if (!named || (stored != 0 && stored != 1)) {
        parts_.appProfile.writeInt(kOptionSection, kRecordDelayEntry, recordDelay_ ? 1 : 0);
    }
    recordDelayBox_->setChecked(recordDelay_);
}

void MacroRecorder::toggleDelayOption(bool on) {
    recordDelay_ = on;
    parts_.appProfile.writeInt(kOptionSection, kRecordDelayEntry, on ? 1 : 0);
}

void MacroRecorder::setEnabled(bool enabled) {
    recordButton_->setEnabled(enabled);
}

void MacroRecorder::start() {
    if (recording_ || !parts_.macroSelected()) {
        return;
    }
    recording_ = true;
    heldWindowsKey_.reset();
    pressedKeys_.clear();
    recordButton_->setText(QString::fromStdString(parts_.texts.text("MACRO_ACTION_STOP_RECORD")));
    recordButton_->setSelectedLook(true);
    emit recordingChanged(true);
    lastEventMs_ = clock_();
}

void MacroRecorder::stop() {
    if (!recording_) {
        return;
    }
    recording_ = false;
    recordButton_->setText(QString::fromStdString(parts_.texts.text("MACRO_ACTION_RECORD")));
    recordButton_->setSelectedLook(false);
    emit recordingChanged(false);
}

bool MacroRecorder::recordKey(const platform::NativeKeyEvent& event) {
    if (!recording_) {
        return false;
    }
    const model::KeyCode code = model::keyCodeFromKeyEvent(event.vk, event.keyData);
    if (code == 0 || isMediaKey(code)) {
        return false;
    }
    if (event.vk == kLeftWindowsVk || event.vk == kRightWindowsVk) {
        // The desktop may report a held Windows key as fresh presses.
        if (event.isRelease()) {
            heldWindowsKey_.reset();
        } else if (heldWindowsKey_ == event.vk) {
            return true;
        } else {
            heldWindowsKey_ = event.vk;
        }
    }
    if (event.isAutoRepeat()) {
        return true;
    }
    const std::uint32_t delay = delaySinceLastEvent();
    if (!model::needsSyntheticPress(code)) {
        addAction(code, event.isRelease(), delay);
        return true;
    }
    // Some desktops report these keys by their release alone. The press then stands where
    // the release came, after the wait measured, and is held for a moment.
    if (!event.isRelease()) {
        pressedKeys_.insert(code);
        addAction(code, false, delay);
    } else if (pressedKeys_.erase(code) != 0) {
        addAction(code, true, delay);
    } else {
        addAction(code, false, delay);
        addAction(code, true, kSyntheticPressDelay);
    }
    return true;
}

bool MacroRecorder::recordMouse(std::uint32_t mouseMessage) {
    if (!recording_) {
        return false;
    }
    const model::KeyCode code = model::keyCodeFromMouseMessage(mouseMessage);
    if (code == 0) {
        return false;
    }
    addAction(code, model::isButtonUpMessage(mouseMessage), delaySinceLastEvent());
    return true;
}

std::uint32_t MacroRecorder::delaySinceLastEvent() {
    const std::uint64_t now = clock_();
    const std::uint64_t elapsed = now > lastEventMs_ ? now - lastEventMs_ : 0;
    lastEventMs_ = now;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(elapsed, std::numeric_limits<std::uint32_t>::max()));
}

void MacroRecorder::addAction(model::KeyCode key, bool released, std::uint32_t measuredDelay) {
    parts_.actions.addRecorded(key, released, recordDelay_ ? measuredDelay : kFixedRecordedDelay);
}

bool MacroRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parts_.actions.list().viewport() && recording_) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
            type == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            return recordMouse(mouseMessage(mouse->button(), type == QEvent::MouseButtonRelease));
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velkan::editors
