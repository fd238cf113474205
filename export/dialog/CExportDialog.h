// The export dialog (template 140, "Save"): the selected track only, or every effect and/or every
// song, each into a folder of its own. It exports nothing itself: the export run sets
// m_nSelectedKind, shows it modally and reads the choice from its members after Save. Every
// opening starts with both boxes clear and both paths empty.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class CExportDialog;
}

namespace sv {

class CExportDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CExportDialog)

public:
    // Kinds of tree item that name a single track; any other kind offers only the bulk export.
    static constexpr std::uint32_t kEffectKind = 3;
    static constexpr std::uint32_t kSongKind = 4;
    static constexpr const char* kBrowseTitle = "Select Destination Folder";

    explicit CExportDialog(QWidget* parent = nullptr);
    ~CExportDialog() override;

    void setVisible(bool visible) override;

    // Set by the caller between construction and showing.
    std::uint32_t m_nSelectedKind = 0;

    // The choice, read after the dialog ended with Save.
    bool m_bAllEffects = false;
    bool m_bAllSongs = false;
    QString m_strEffectsPath;
    QString m_strSongsPath;
    bool m_bSelectedOnly = false;

private:
    void OnInitDialog();
    // The two directions of the data exchange: the check boxes and the path fields only; the
    // radio buttons are read and set on the controls themselves.
    void MembersToControls();
    void ControlsToMembers();
    void UpdateControls();

    void OnScopeClicked();
    void OnBrowseEffects();
    void OnBrowseSongs();
    void OnSave();
    // Leaves `folder` unchanged when the user cancels.
    void BrowseForFolder(QString& folder);

    std::unique_ptr<Ui::CExportDialog> ui;
    bool m_initialised = false;

    QCheckBox* m_btnAllEffects;
    QCheckBox* m_btnAllSongs;
    QLineEdit* m_editEffectsPath;
    QLineEdit* m_editSongsPath;
    QPushButton* m_btnBrowseEffects;
    QPushButton* m_btnBrowseSongs;
    QRadioButton* m_radioSelected;
    QRadioButton* m_radioAll;
};

} // namespace sv
