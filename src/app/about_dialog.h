// The About box: what the program is for, its copyright, and the link to the maker's page.
// Modeless and one window at a time; OK, Escape or closing it hides it until it is asked for
// again, and the exit routine cancels it with close().
#pragma once

#include <QDialog>
#include <QtGlobal>
#include <functional>
#include <map>
#include <string>

class QLabel;
class QPushButton;

namespace velkan::lang {
class TextLookup;
}

namespace velkan::widgets {
class ColourStatic;
}

namespace velkan::app {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kOkButton = 1;
    static constexpr int kLink = 1124;
    static constexpr int kCopyright = 1205;
    static constexpr int kIntroduction = 1206;

    // `openAddress` opens a web address, `openHelp` the help page, both as the main window
    // does.
    AboutDialog(const lang::TextLookup& texts, std::string linkTarget,
                std::function<void(const std::string& address)> openAddress,
                std::function<void()> openHelp, QWidget* parent = nullptr);

    // Shows the box with its texts; false, doing nothing, while it is being opened or shown.
    bool request();

    // Reads its texts again, in the language now chosen.
    void reloadTexts();

    // nullptr for an id the box has no control for.
    QWidget* control(int controlId) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    const lang::TextLookup& texts_;
    std::string linkTarget_;
    std::function<void(const std::string&)> openAddress_;
    std::function<void()> openHelp_;
    widgets::ColourStatic* introduction_;
    widgets::ColourStatic* copyright_;
    QLabel* link_;
    QPushButton* ok_;
    std::map<int, QWidget*> controls_;
    bool opening_ = false;
};

} // namespace velkan::app
