#include "Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace sv {

PlatformDialogs QtDialogs()
{
    PlatformDialogs dialogs;
    dialogs.chooseFolder = [](QWidget* parent, const QString& title) -> std::optional<QString> {
        const QString folder = QFileDialog::getExistingDirectory(parent, title);
        if (folder.isEmpty())
            return std::nullopt;
        return folder;
    };
    dialogs.saveFile = [](QWidget* parent, const QString& proposedName,
                          const QString& defaultSuffix,
                          const QString& filter) -> std::optional<QString> {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(filter);
        dialog.setDefaultSuffix(defaultSuffix.startsWith('.') ? defaultSuffix.mid(1)
                                                              : defaultSuffix);
        dialog.selectFile(proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    };
    dialogs.showError = [](QWidget* parent, const QString& text, const QString& caption) {
        QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
        box.exec();
    };
    return dialogs;
}

PlatformDialogs& Dialogs()
{
    static PlatformDialogs dialogs = QtDialogs();
    return dialogs;
}

} // namespace sv
