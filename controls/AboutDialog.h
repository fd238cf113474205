// The About box: the program's icon, name and version, and two links (the project's web page
// and its mail address) drawn as LabelCtrl labels. Shown modally; OK, Escape and the close box
// end it.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutDialog;
}

namespace sv {

class LabelCtrl;

class AboutDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)

public:
    static constexpr const char* kWebAddress = "https://sonvault.example.org/";
    static constexpr const char* kMailAddress = "sonvault@example.org";

    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

    LabelCtrl& webLink();
    LabelCtrl& mailLink();

private:
    std::unique_ptr<Ui::AboutDialog> ui;
};

} // namespace sv
