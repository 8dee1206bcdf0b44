// Renders a small skinned window to a PNG: its background, its shape (rounded corners cut
// away) and one image button in each of its looks. Needs no display.
//
//   skin_demo OUT.png
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/skin_look.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using velkan::skin::ButtonPictures;
using velkan::skin::ImageButton;
using velkan::skin::SkinnedDialog;

constexpr QSize kWindowSize(420, 170);
constexpr int kCornerRadius = 26;

struct DemoButton {
    const char* key;
    const char* caption;
    QRect rect;
};

constexpr std::array<DemoButton, 5> kButtons = {{
    {"DEMO_NORMAL", "Normal", {20, 100, 56, 30}},
    {"DEMO_OVER", "Over", {86, 100, 56, 30}},
    {"DEMO_DOWN", "Down", {152, 100, 56, 30}},
    {"DEMO_DISABLED", "Disabled", {218, 100, 56, 30}},
    {"DEMO_SELECTED", "Selected", {284, 100, 56, 30}},
}};

QImage background() {
    QImage image(kWindowSize, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 0, kWindowSize.height());
    gradient.setColorAt(0, QColor(40, 52, 74));
    gradient.setColorAt(1, QColor(14, 18, 28));
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QColor(220, 228, 240));
    painter.setFont(QFont(velkan::widgets::skinFontFamily(), 16, QFont::Bold));
    painter.drawText(QRect(0, 20, kWindowSize.width(), 40), Qt::AlignCenter, "Skinned window");
    return image;
}

// The window's shape: white is cut away.
QImage outline() {
    QImage image(kWindowSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(image.rect(), kCornerRadius, kCornerRadius);
    return image;
}

// A whole-window picture with every button in one look, as skins supply them.
QImage statePicture(const QImage& face, QColor fill) {
    QImage image = face;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(fill.lighter(150));
    painter.setBrush(fill);
    for (const DemoButton& button : kButtons) {
        painter.drawRoundedRect(QRectF(button.rect).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
    return image;
}

bool writeSkin(const std::filesystem::path& folder) {
    const QImage face = background();
    const std::vector<std::pair<const char*, QImage>> pictures = {
        {"face.png", face},
        {"outline.png", outline()},
        {"normal.png", statePicture(face, QColor(70, 80, 100))},
        {"over.png", statePicture(face, QColor(60, 120, 200))},
        {"down.png", statePicture(face, QColor(25, 60, 130))},
        {"disabled.png", statePicture(face, QColor(50, 52, 58))},
        {"selected.png", statePicture(face, QColor(210, 120, 30))},
    };
    for (const auto& [name, picture] : pictures) {
        if (!picture.save(QString::fromStdString((folder / name).string()), "PNG")) {
            return false;
        }
    }
    std::ofstream ini(folder / "Demo.ini", std::ios::binary);
    ini << "[SCREEN]\r\nMain=face.png\r\nMask=outline.png\r\n[BUTTONINFO]\r\n";
    for (const DemoButton& button : kButtons) {
        ini << button.key << '=' << button.rect.x() << ',' << button.rect.y() << ','
            << button.rect.width() << ',' << button.rect.height() << "\r\n";
    }
    return static_cast<bool>(ini.flush());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin_demo OUT.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const QTemporaryDir dir;
    const std::filesystem::path folder = dir.path().toStdString();
    if (!dir.isValid() || !writeSkin(folder)) {
        std::fprintf(stderr, "skin_demo: cannot write the demo skin\n");
        return 1;
    }

    SkinnedDialog window(nullptr, folder / "Demo.ini", folder);
    if (!window.initialise()) {
        return 1;
    }
    const ButtonPictures pictures{velkan::skin::skinPicture(folder / "normal.png"),
                                  velkan::skin::skinPicture(folder / "over.png"),
                                  velkan::skin::skinPicture(folder / "down.png"),
                                  velkan::skin::skinPicture(folder / "disabled.png"),
                                  velkan::skin::skinPicture(folder / "selected.png")};
    velkan::skin::ButtonTextStyle style;
    style.on = true;
    style.normal = style.over = style.down = style.selected = QColor(240, 244, 250);
    style.disabled = QColor(120, 124, 132);

    std::vector<ImageButton*> buttons; // owned by the window
    for (const DemoButton& demo : kButtons) {
        auto* button = new ImageButton(&window);
        velkan::skin::placeImageButton(*button, window.iniPath(), velkan::skin::kButtonSection,
                                       demo.key, pictures);
        button->setText(demo.caption);
        button->setTextStyle(style);
        buttons.push_back(button);
    }
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(buttons[1], &enter);
    buttons[2]->setDown(true);
    buttons[3]->setEnabled(false);
    buttons[4]->setSelectedLook(true);

    if (!velkan::skin::renderWithShape(window).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "skin_demo: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
