// The skinned dialog every window of the program derives from: no frame, the background
// picture as its face, the outline picture as its shape, dragged by its background, and one
// entry point for the program's private messages.
#pragma once

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QtGlobal>
#include <filesystem>
#include <optional>

namespace velkan::skin {

// The visible part of an outline picture: every pixel that is not pure white.
QRegion outlineRegion(const QImage& outline);

// The window and its children as they look on screen, outside its shape transparent; works
// on a hidden window and without a display.
QImage renderWithShape(QWidget& window);

class SkinnedDialog : public QDialog {
    Q_OBJECT

public:
    SkinnedDialog(QWidget* parent, std::filesystem::path iniPath, std::filesystem::path iniFolder);

    const std::filesystem::path& iniPath() const { return iniPath_; }
    const std::filesystem::path& iniFolder() const { return iniFolder_; }

    // Loads the skin (sized to the background, shaped by the outline) and, the first time,
    // runs onInitDialog. Showing the window does this when it has not been done; a window
    // that must be ready while hidden calls it itself. False when a picture is missing or the
    // window's own initialisation failed.
    bool initialise();

    // The user chose another language: every text of the window is read again in it.
    void changeLanguage(int languageIndex) { reloadTexts(languageIndex); }

    void setVisible(bool visible) override;
    // OK: the pictures are let go before the dialog ends; showing it again reloads them.
    void accept() override;

protected:
    // The window's own initialisation, after its skin is loaded; runs once.
    virtual bool onInitDialog() { return true; }
    // Re-reads every text of the window in the given language.
    virtual void reloadTexts(int languageIndex);

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool loadSkin();

    std::filesystem::path iniPath_;
    std::filesystem::path iniFolder_;
    QImage background_;
    bool initialised_ = false;
    // Where the background was grabbed, relative to the window, while it is dragged by hand.
    std::optional<QPoint> dragOffset_;
};

} // namespace velkan::skin
