#include "skin/qt_prompts.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

namespace velkan::skin {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QStringList qtNameFilters(std::string_view filter) {
    const QStringList parts = fromUtf8(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        if (description.isEmpty() || pattern.isEmpty()) {
            break; // the "||" that ends the list
        }
        filters.append(description.contains(QLatin1Char('('))
                           ? description
                           : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters;
}

std::optional<std::filesystem::path> QtPrompts::chooseFile(const lang::FileDialogRequest& request) {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(qtNameFilters(request.filter));
    dialog.setDefaultSuffix(fromUtf8(request.defaultExtension));
    if (!request.folder.empty()) {
        dialog.setDirectory(QString::fromStdString(request.folder.string()));
    }
    // A wildcard is the filter's business, not a name to offer.
    if (!request.initialName.empty() && request.initialName.find('*') == std::string::npos) {
        dialog.selectFile(fromUtf8(request.initialName));
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.setOption(QFileDialog::ReadOnly, false);
    // Qt's own dialog, which takes the program's dark palette; a desktop's native one would
    // come up in the light stock look.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(dialog.selectedFiles().constFirst().toStdString());
}

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

std::optional<bool> QtPrompts::askYesNoCancel(std::string_view text) {
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                    fromUtf8(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent_);
    box.setDefaultButton(QMessageBox::Cancel);
    const int answer = box.exec();
    if (answer == QMessageBox::Cancel) {
        return std::nullopt;
    }
    return answer == QMessageBox::Yes;
}

} // namespace velkan::skin
