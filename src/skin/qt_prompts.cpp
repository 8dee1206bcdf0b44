#include "skin/qt_prompts.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

namespace velkan::skin {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void QtPrompts::message(std::string_view text, bool topMost) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), fromUtf8(text),
                    QMessageBox::Ok, parent_);
    if (topMost) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.exec();
}

bool QtPrompts::askYesNo(std::string_view text) {
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                    fromUtf8(text), QMessageBox::Yes | QMessageBox::No, parent_);
    // A question answered by a stray Enter must change nothing.
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace velkan::skin
