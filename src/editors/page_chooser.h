// The key assignment dialog's page chooser: a button for each page, and the picture behind
// the pages that shows which one is current.
#pragma once

#include "lang/text_lookup.h"
#include "model/key_assignment.h"

#include <QObject>
#include <filesystem>

class QWidget;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::editors {

// Whether `page` shows on the single-key page: every kind but the three of the list pages.
bool isSingleKeyPage(model::AssignmentType page);

class PageChooser : public QObject {
    Q_OBJECT

public:
    // Creates the buttons on `dialog`; they are placed on every opening.
    PageChooser(QWidget& dialog, std::filesystem::path iniPath, std::filesystem::path iniFolder,
                const lang::TextLookup& texts);
    ~PageChooser() override;

    // Opened for a macro, the buttons of the other pages wear the second macro pictures and
    // are disabled.
    void place(bool macroOnly);
    void reloadTexts();
    // The picture and the pressed button of `page`.
    void show(model::AssignmentType page);

signals:
    void pageChosen(model::AssignmentType page);

private:
    std::filesystem::path iniPath_;
    std::filesystem::path iniFolder_;
    const lang::TextLookup& texts_;
    skin::ImageButton* pagePicture_ = nullptr;
    skin::ImageButton* mediaPageButton_ = nullptr;
    skin::ImageButton* macroPageButton_ = nullptr;
    skin::ImageButton* keyPageButton_ = nullptr;
    skin::ImageButton* functionPageButton_ = nullptr;
};

} // namespace velkan::editors
