// The single-key page of the key assignment dialog: the key the edited key sends, caught from
// the keyboard, or a mouse action chosen from a list.
#pragma once

#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "platform/key_event_translation.h"

#include <QObject>
#include <QString>
#include <filesystem>
#include <optional>

class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace velkan::widgets {
class SkinCombo;
}

namespace velkan::editors {

class SingleKeyPage : public QObject {
    Q_OBJECT

public:
    // Creates the page's controls on `dialog`.
    SingleKeyPage(QWidget& dialog, const std::filesystem::path& iniPath,
                  const lang::TextLookup& texts);
    ~SingleKeyPage() override;

    // `editedKey`: the name of the key being edited.
    void reloadTexts(const QString& editedKey);
    void setVisible(bool visible);
    void focus();

    // Nothing caught and the first mouse action, as on every opening.
    void reset();
    // A mouse action shows on the mouse list, any other key by its name; the text always
    // names the code the page stands for.
    void showStoredKey(model::KeyCode code);
    // The key gets its own function back.
    void clear();

    bool mouseChosen() const;
    // The mouse action chosen, or the key caught (0: none).
    model::KeyCode chosenCode() const;

    // The key capture; true when the event is swallowed. Keys without a name and the
    // multimedia keys keep working.
    bool captureKey(const std::optional<platform::NativeKeyEvent>& native);

signals:
    // The user chose this page's kind of assignment.
    void chosen();
    void modified();

private:
    void createRadios(const std::filesystem::path& iniPath);
    void createMouseList(const std::filesystem::path& iniPath);
    void chooseKeyboard(bool keyboard);
    void showCapturedKey();
    void takeKey(model::KeyCode code);

    QWidget& dialog_;
    const lang::TextLookup& texts_;
    QLabel* editedKeyLabel_ = nullptr;
    QLabel* singlePrompt_ = nullptr;
    QLabel* keyboardLabel_ = nullptr;
    QLabel* mouseLabel_ = nullptr;
    QLineEdit* capturedKey_ = nullptr;
    QRadioButton* keyboardRadio_ = nullptr;
    QRadioButton* mouseRadio_ = nullptr;
    widgets::SkinCombo* mouseList_ = nullptr;

    model::KeyCode capturedCode_ = 0;
};

} // namespace velkan::editors
