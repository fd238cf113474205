// The game folder dialog: one edit for the path to the "Arena2" folder, typed or picked with the
// platform's folder chooser ("Browse..."). The caller sets `path` before the modal run and reads
// it after "Open"; the dialog accepts any text, the caller does the checking.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class FolderDialog;
}

namespace sv {

class FolderDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FolderDialog)

public:
    explicit FolderDialog(QWidget* parent = nullptr);
    ~FolderDialog() override;

    QString path;

    int exec() override;
    void accept() override;

private:
    void OnBrowse();
    // The data exchange: the member into the edit, and back.
    void PathToControls();
    void ControlsToPath();

    std::unique_ptr<Ui::FolderDialog> ui;
};

} // namespace sv
