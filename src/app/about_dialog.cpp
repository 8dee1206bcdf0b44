#include "app/about_dialog.h"

#include "lang/text_lookup.h"
#include "platform/paths.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/colour_static.h"
#include "widgets/skin_look.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

namespace velkan::app {

namespace {

constexpr int kPictureSide = 64;
constexpr int kTextWidth = 340;

// Only marks beside the lines here: nothing is chosen by clicking them.
widgets::ColourStatic* addTextLine(QWidget* parent, QRgb mark) {
    auto* line = new widgets::ColourStatic(parent);
    line->setColour(QColor(mark));
    line->setFocusPolicy(Qt::NoFocus);
    line->setCursor(Qt::ArrowCursor);
    line->setMinimumWidth(kTextWidth);
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

} // namespace

AboutDialog::AboutDialog(const lang::TextLookup& texts, std::string linkTarget,
                         std::function<void(const std::string& address)> openAddress,
                         std::function<void()> openHelp, QWidget* parent)
    : QDialog(parent), texts_(texts), linkTarget_(std::move(linkTarget)),
      openAddress_(std::move(openAddress)), openHelp_(std::move(openHelp)),
      introduction_(addTextLine(this, widgets::kSkinAccent)),
      copyright_(addTextLine(this, widgets::kSkinDimText)), link_(new QLabel(this)),
      ok_(new QPushButton(this)) {
    link_->setTextFormat(Qt::RichText);
    link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(link_, &QLabel::linkActivated, this, [this] {
        if (openAddress_) {
            openAddress_(linkTarget_);
        }
    });
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* lines = new QVBoxLayout;
    lines->addWidget(introduction_);
    lines->addWidget(copyright_);
    lines->addWidget(link_);
    auto* top = new QHBoxLayout;
    top->addWidget(programPicture(this));
    top->addLayout(lines, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    controls_ = {
        {kOkButton, ok_}, {kLink, link_}, {kCopyright, copyright_}, {kIntroduction, introduction_}};
    widgets::applySkinLook(*this);
    // Rich text colours links from the application's palette, not the label's. The address
    // comes from the skin file, so it is shown as text, never as markup.
    const QString address = QString::fromStdString(linkTarget_).toHtmlEscaped();
    link_->setText(QStringLiteral("<a href=\"%1\" style=\"color:%2\">%1</a>")
                       .arg(address, QColor(widgets::kSkinAccent).name()));
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

QWidget* AboutDialog::control(int controlId) const {
    const auto found = controls_.find(controlId);
    return found != controls_.end() ? found->second : nullptr;
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
    setWindowTitle(QString::fromStdString(texts_.text("LANG_ABOUT_TITLE")));
    introduction_->setCaption(QString::fromStdString(texts_.text("GUANYU_JIESHAO")));
    copyright_->setCaption(QString::fromStdString(texts_.text("GUANYU_BANQUAN")));
    ok_->setText(QString::fromStdString(texts_.text("LANG_ABOUT_OK")));
}

} // namespace velkan::app
