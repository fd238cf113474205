// Template 137 comes from res/FolderDialog.ui.
#include "app/main/FolderDialog.h"

#include "controls/Dialogs.h"
#include "controls/Resources.h"
#include "ui_FolderDialog.h"

namespace sv {

FolderDialog::FolderDialog(QWidget* parent) : QDialog(parent), ui(new Ui::FolderDialog) {
    ui->setupUi(this);
    // Caption and system menu with its close box; a modal frame, neither resizable nor with
    // the help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    EnsureResources();
    setWindowIcon(AppIcon());

    connect(ui->browseButton, &QPushButton::clicked, this, &FolderDialog::OnBrowse);
    connect(ui->openButton, &QPushButton::clicked, this, &FolderDialog::accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &FolderDialog::reject);
}

FolderDialog::~FolderDialog() = default;

int FolderDialog::exec() {
    PathToControls();
    ui->pathEdit->setFocus();
    return QDialog::exec();
}

// Only "Open" copies the edit back; Cancel, Escape and the close box leave `path` alone.
void FolderDialog::accept() {
    ControlsToPath();
    QDialog::accept();
}

// The chooser opens at its own default place, not at the folder in the edit.
void FolderDialog::OnBrowse() {
    const std::optional<QString> chosen = Dialogs().chooseFolder(this, tr("Select Arena2 Folder"));
    if (!chosen) {
        return;
    }
    path = *chosen;
    PathToControls();
}

void FolderDialog::PathToControls() {
    ui->pathEdit->setText(path);
}

void FolderDialog::ControlsToPath() {
    path = ui->pathEdit->text();
}

} // namespace sv
