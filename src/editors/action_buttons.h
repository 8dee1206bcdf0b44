// The buttons under the macro page's action list: delete, clear, and move the selected action.
#pragma once

#include "lang/text_lookup.h"

#include <QObject>
#include <filesystem>
#include <vector>

class QWidget;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::editors {

class ActionList;

class ActionButtons : public QObject {
    Q_OBJECT

public:
    // Creates the buttons (hidden) on `dialog`, acting on `actions`.
    ActionButtons(QWidget& dialog, const std::filesystem::path& iniPath,
                  const std::filesystem::path& iniFolder, const lang::TextLookup& texts,
                  ActionList& actions);
    ~ActionButtons() override;

    std::vector<QWidget*> controls() const;
    // They act on the selected macro's actions: without one they are off.
    void setEnabled(bool enabled);
    void reloadTexts();

private:
    const lang::TextLookup& texts_;
    skin::ImageButton* deleteActionButton_ = nullptr;
    skin::ImageButton* clearActionsButton_ = nullptr;
    skin::ImageButton* topButton_ = nullptr;
    skin::ImageButton* upButton_ = nullptr;
    skin::ImageButton* downButton_ = nullptr;
    skin::ImageButton* bottomButton_ = nullptr;
};

} // namespace velkan::editors
