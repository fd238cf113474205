// Template 100 comes from res/AboutDialog.ui (laid out from its dialog units, 1.5 px across and
// 1.625 px down per unit); this class gives the two links their look and behaviour.
#include "controls/AboutDialog.h"

#include "controls/LabelCtrl.h"
#include "controls/Resources.h"
#include "ui_AboutDialog.h"

namespace sv {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent), ui(new Ui::AboutDialog) {
    EnsureResources();
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());

    const QIcon icon = AppIcon();
    setWindowIcon(icon);
    ui->iconLabel->setPixmap(icon.pixmap(ui->iconLabel->size(), devicePixelRatioF()));

    const QColor navy(0, 0, 128);
    const QCursor hand(Qt::PointingHandCursor);
    ui->webLink->SetFontUnderline(true)
        .SetTextColor(navy)
        .SetLinkCursor(hand)
        .SetLink(true, false)
        .SetLinkTarget(QString::fromLatin1(kWebAddress));
    ui->mailLink->SetFontUnderline(true)
        .SetTextColor(navy)
        .SetLinkCursor(hand)
        .SetMailLink(true, false)
        .SetLinkTarget(QString::fromLatin1(kMailAddress));

    connect(ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

AboutDialog::~AboutDialog() = default;

LabelCtrl& AboutDialog::webLink() {
    return *ui->webLink;
}

LabelCtrl& AboutDialog::mailLink() {
    return *ui->mailLink;
}

} // namespace sv
