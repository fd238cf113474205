// Template 140 comes from res/ExportDialog.ui; this class gives its controls their enabling
// rules and moves the choice between the controls and the members.
#include "export/dialog/CExportDialog.h"

#include "controls/Dialogs.h"
#include "ui_ExportDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace sv {

CExportDialog::CExportDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::CExportDialog), m_btnAllEffects(nullptr), m_btnAllSongs(nullptr),
      m_editEffectsPath(nullptr), m_editSongsPath(nullptr), m_btnBrowseEffects(nullptr),
      m_btnBrowseSongs(nullptr), m_radioSelected(nullptr), m_radioAll(nullptr) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());

    m_btnAllEffects = ui->btnAllEffects;
    m_btnAllSongs = ui->btnAllSongs;
    m_editEffectsPath = ui->editEffectsPath;
    m_editSongsPath = ui->editSongsPath;
    m_btnBrowseEffects = ui->btnBrowseEffects;
    m_btnBrowseSongs = ui->btnBrowseSongs;
    m_radioSelected = ui->radioSelected;
    m_radioAll = ui->radioAll;

    // Only Save answers Enter; a focused Browse button does so only while it has the focus.
    for (QPushButton* button : {m_btnBrowseEffects, m_btnBrowseSongs, ui->cancelButton})
        button->setAutoDefault(false);

    // What the export covers
    for (QAbstractButton* scope : std::initializer_list<QAbstractButton*>{
             m_radioSelected, m_radioAll, m_btnAllEffects, m_btnAllSongs})
        connect(scope, &QAbstractButton::clicked, this, &CExportDialog::OnScopeClicked);

    // Folders
    connect(m_btnBrowseEffects, &QPushButton::clicked, this, &CExportDialog::OnBrowseEffects);
    connect(m_btnBrowseSongs, &QPushButton::clicked, this, &CExportDialog::OnBrowseSongs);

    // Ending
    connect(ui->saveButton, &QPushButton::clicked, this, &CExportDialog::OnSave);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CExportDialog::~CExportDialog() = default;

void CExportDialog::setVisible(bool visible) {
    // The kind is known only once the caller has set it, just before showing.
    if (visible && !m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CExportDialog::OnInitDialog() {
    MembersToControls();
    if (m_nSelectedKind == kEffectKind || m_nSelectedKind == kSongKind) {
        m_radioSelected->setChecked(true);
    } else {
        m_radioSelected->setEnabled(false);
        m_radioAll->setChecked(true);
    }
    UpdateControls();
}

void CExportDialog::MembersToControls() {
    m_btnAllEffects->setChecked(m_bAllEffects);
    m_btnAllSongs->setChecked(m_bAllSongs);
    m_editEffectsPath->setText(m_strEffectsPath);
    m_editSongsPath->setText(m_strSongsPath);
}

void CExportDialog::ControlsToMembers() {
    m_bAllEffects = m_btnAllEffects->isChecked();
    m_bAllSongs = m_btnAllSongs->isChecked();
    m_strEffectsPath = m_editEffectsPath->text();
    m_strSongsPath = m_editSongsPath->text();
}

// Follows the members, not the boxes: the state of the last transfer from the controls.
void CExportDialog::UpdateControls() {
    if (!m_radioAll->isChecked()) {
        for (QWidget* control :
             std::initializer_list<QWidget*>{m_btnAllEffects, m_editEffectsPath, m_btnBrowseEffects,
                                             m_btnAllSongs, m_editSongsPath, m_btnBrowseSongs})
            control->setEnabled(false);
        return;
    }
    m_btnAllEffects->setEnabled(true);
    m_btnAllSongs->setEnabled(true);
    m_editEffectsPath->setEnabled(m_bAllEffects);
    m_btnBrowseEffects->setEnabled(m_bAllEffects);
    m_editSongsPath->setEnabled(m_bAllSongs);
    m_btnBrowseSongs->setEnabled(m_bAllSongs);
}

void CExportDialog::OnScopeClicked() {
    ControlsToMembers();
    UpdateControls();
}

// A cancelled chooser empties the path, and the transfer puts the other field back to its
// member: text typed there since the last click on a box or radio button is lost.
void CExportDialog::OnBrowseEffects() {
    QString folder;
    BrowseForFolder(folder);
    m_strEffectsPath = folder;
    MembersToControls();
}

void CExportDialog::OnBrowseSongs() {
    QString folder;
    BrowseForFolder(folder);
    m_strSongsPath = folder;
    MembersToControls();
}

void CExportDialog::BrowseForFolder(QString& folder) {
    if (const auto chosen = Dialogs().chooseFolder(this, QString::fromLatin1(kBrowseTitle)))
        folder = *chosen;
}

// Never refused: empty paths, missing folders and no box checked are the run's to handle.
void CExportDialog::OnSave() {
    if (m_radioSelected->isChecked())
        m_bSelectedOnly = true;
    ControlsToMembers();
    accept();
}

} // namespace sv
