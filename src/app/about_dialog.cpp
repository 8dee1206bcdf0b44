#include "app/about_dialog.h"

#include "lang/text_lookup.h"
#include "platform/paths.h"
#include "skin/skin_layout.h"
#include "widgets/skin_look.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

namespace velkan::app {

namespace {

constexpr int kPictureSide = 64;
constexpr int kTextWidth = 340;
constexpr int kHeadingPointSize = 14;
// What a window frame's title bar takes besides its title: the program's icon and the buttons.
constexpr int kTitleBarRoom = 160;

QLabel* addLine(QWidget* parent, const char* name, QRgb colour) {
    auto* line = new QLabel(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setWordWrap(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, QColor(colour));
    line->setPalette(palette);
    return line;
}

QLabel* programPicture(QWidget* parent) {
    auto* picture = new QLabel(parent);
    const std::optional<QImage> image =
        skin::loadSkinImage(platform::programFolder() / "Icons" / "velkan.png");
    if (image) {
        picture->setPixmap(QPixmap::fromImage(image->scaled(
            kPictureSide, kPictureSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    picture->setAlignment(Qt::AlignTop);
    return picture;
}

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

AboutDialog::AboutDialog(const lang::TextLookup& texts, std::function<void()> openHelp,
                         QWidget* parent)
    : QDialog(parent), texts_(texts), openHelp_(std::move(openHelp)),
      heading_(addLine(this, "heading", widgets::kSkinText)),
      version_(addLine(this, "version", widgets::kSkinDimText)),
      introduction_(addLine(this, "introduction", widgets::kSkinText)),
      copyright_(addLine(this, "copyright", widgets::kSkinDimText)),
      helpLink_(addLine(this, "helpLink", widgets::kSkinAccent)), okButton_(new QPushButton(this)) {
    okButton_->setObjectName(QStringLiteral("okButton"));
    helpLink_->setTextFormat(Qt::RichText);
    helpLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(helpLink_, &QLabel::linkActivated, this, [this] {
        if (openHelp_) {
            openHelp_();
        }
    });
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    auto* lines = new QVBoxLayout;
    for (QLabel* line : {heading_, version_, introduction_, copyright_, helpLink_}) {
        lines->addWidget(line);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(programPicture(this));
    top->addLayout(lines, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    widgets::applySkinLook(*this);
    QFont headingFont = heading_->font();
    headingFont.setPointSize(kHeadingPointSize);
    headingFont.setBold(true);
    heading_->setFont(headingFont);
}

bool AboutDialog::request() {
    if (opening_ || isVisible()) {
        return false;
    }
    opening_ = true;
    reloadTexts();
    show();
    raise();
    activateWindow();
    opening_ = false;
    return true;
}

void AboutDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        if (openHelp_) {
            openHelp_();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void AboutDialog::reloadTexts() {
    const auto text = [this](std::string_view key) { return fromUtf8(texts_.text(key)); };
    setWindowTitle(text("LANG_ABOUT_TITLE"));
    heading_->setText(text("MAIN_CAPTION"));
    version_->setText(text("MAIN_VERSION_TEXT") + QStringLiteral(" " VELKAN_VERSION));
    introduction_->setText(text("GUANYU_JIESHAO"));
    copyright_->setText(text("GUANYU_BANQUAN"));
    // Rich text colours links from the application's palette, not the label's; the text is
    // the language file's, so it is shown as text, never as markup.
    helpLink_->setText(
        QStringLiteral("<a href=\"help\" style=\"color:%1\">%2</a>")
            .arg(QColor(widgets::kSkinAccent).name(), text("ABOUT_HELP_LINK").toHtmlEscaped()));
    okButton_->setText(text("LANG_ABOUT_OK"));
    // Wide enough for a frame to show the whole title.
    const int titleWidth = fontMetrics().horizontalAdvance(windowTitle()) + kTitleBarRoom;
    introduction_->setMinimumWidth(std::max(kTextWidth, titleWidth - kPictureSide));
}

} // namespace velkan::app
