// The About box: the program's name and version, what it is for, its copyright, and the way to
// its help page. Modeless and one window at a time; OK, Escape or closing it hides it until it
// is asked for again, and the exit routine cancels it with close().
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace velkan::lang {
class TextLookup;
}

namespace velkan::app {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    // `openHelp` opens the help page shipped with the program, as the main window does.
    AboutDialog(const lang::TextLookup& texts, std::function<void()> openHelp,
                QWidget* parent = nullptr);

    // Shows the box with its texts; false, doing nothing, while it is being opened or shown.
    bool request();

    // Reads its texts again, in the language now chosen.
    void reloadTexts();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    const lang::TextLookup& texts_;
    std::function<void()> openHelp_;
    // Named after their members, so tests find them.
    QLabel* heading_;
    QLabel* version_;
    QLabel* introduction_;
    QLabel* copyright_;
    QLabel* helpLink_;
    QPushButton* okButton_;
    bool opening_ = false;
};

} // namespace velkan::app
