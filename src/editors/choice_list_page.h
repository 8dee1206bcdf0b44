// A page of the key assignment dialog that offers a fixed list: the multimedia functions, or
// the keyboard's own functions. A prompt says what to do; the entry chosen is the value stored.
#pragma once

#include <QObject>
#include <QStringList>
#include <cstdint>
#include <filesystem>

class QLabel;
class QWidget;

namespace velkan::widgets {
class SkinCombo;
}

namespace velkan::editors {

class ChoiceListPage : public QObject {
    Q_OBJECT

public:
    struct Names {
        const char* prompt;
        const char* promptSkinKey;
        const char* list;
        const char* listSkinKey;
    };
    // Creates the prompt and a list of `count` entries on `dialog`.
    ChoiceListPage(QWidget& dialog, const std::filesystem::path& iniPath, const Names& names,
                   int count);
    ~ChoiceListPage() override;

    void reloadTexts(const QString& prompt, const QStringList& entries);
    void setVisible(bool visible);
    void focus();

    // The entry a stored value selects; entry 0 for a value the list does not have.
    void select(std::int32_t value);
    // The value of the entry chosen.
    std::int32_t chosenValue() const;

signals:
    // The user chose an entry; entries the dialog selects itself are not reported.
    void modified();

private:
    QLabel* prompt_ = nullptr;
    widgets::SkinCombo* list_ = nullptr;
};

} // namespace velkan::editors
