#include "gui/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>

#include "gui/AppInfo.h"

void QtDialogs::message(DlgType type, const QString& text, const QString& detail) {
    QMessageBox box(parent_);
    switch (type) {
        case DlgType::Error:
            box.setIcon(QMessageBox::Critical);
            box.setWindowTitle(QString(kApplicationTitle) + " - Error");
            break;
        case DlgType::Warning:
            box.setIcon(QMessageBox::Warning);
            box.setWindowTitle(QString(kApplicationTitle) + " - Warning");
            break;
        case DlgType::Information:
            box.setIcon(QMessageBox::Information);
            box.setWindowTitle(QString(kApplicationTitle) + " - Information");
            break;
        case DlgType::Plain:
            box.setIcon(QMessageBox::NoIcon);
            box.setWindowTitle(QString(kApplicationTitle));
            break;
    }
    box.setText(text);
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

namespace {

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogSetup& setup,
                                     QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // The window asks before replacing a file itself; a typed name that does not exist is
    // accepted.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!setup.directory.isEmpty()) dialog.setDirectory(setup.directory);
    if (!setup.filter.isEmpty()) dialog.setNameFilter(setup.filter);
    if (!setup.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(setup.defaultSuffix);
    if (setup.fileName.contains('*')) {
        if (setup.filter.isEmpty()) dialog.setNameFilter(setup.fileName);
    } else if (!setup.fileName.isEmpty()) {
        dialog.selectFile(setup.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

}  // namespace

std::optional<QString> QtDialogs::saveFile(const FileDialogSetup& setup) {
    return RunFileDialog(parent_, setup, QFileDialog::AcceptSave);
}

std::optional<QString> QtDialogs::openFile(const FileDialogSetup& setup) {
    return RunFileDialog(parent_, setup, QFileDialog::AcceptOpen);
}

bool QtDialogs::confirm(const QString& question) {
    QMessageBox box(parent_);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(QString(kApplicationTitle) + " - Confirm");
    box.setText(question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtDialogs::askText(const QString& question, const QString& text) {
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(QString(kApplicationTitle));
    dialog.setLabelText(question);
    dialog.setTextValue(text);
    dialog.setInputMode(QInputDialog::TextInput);
    if (auto* label = dialog.findChild<QLabel*>()) label->setWordWrap(true);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
}
