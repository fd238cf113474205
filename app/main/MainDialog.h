// The main window: the game folder in a path label, the songs and effects of the open folder in a
// tree, the media player below it, and three clickable pictures (choose the folder, export,
// About). Fixed size. Selecting a song or an effect extracts it into the work folder and plays
// it; Enter and Escape close the window, which ends the program.
#pragma once

#include "app/main/ProgressBarControl.h"
#include "app/main/TreeItemRecord.h"
#include "archive/GameData.h"

#include <QDialog>
#include <QPixmap>
#include <list>
#include <memory>
#include <string>

class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class MainDialog;
}

namespace sv {

class CMediaPlayer;

class MainDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainDialog)

public:
    // Reads the work folder (the current directory, now) and the remembered game folder, opens
    // that folder if there is one (silently: a failure leaves the first-run look) and fills the
    // tree.
    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    // Rebuilds the tree from the game data set; with nothing open, shows the invitation instead
    // and leaves the tree alone. Always true.
    bool RefillTree();

    // What the export run works on.
    GameData& Data() { return gameData; }
    ProgressControl& Progress() { return m_progress; }
    const TreeItemRecord* CurrentItem() const { return currentItem; }
    TreeItemKind CurrentKind() const { return currentKind; }
    const std::string& WorkFolder() const { return workFolder; }

    QTreeWidget* Tree() const;
    CMediaPlayer* Player() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnInitDialog();
    QTreeWidgetItem* InsertTreeItem(QTreeWidgetItem* parent, const QString& text, TreeItemKind kind,
                                    int image, int selectedImage, std::int32_t index);
    void FreeRecords();
    void ShowFolderPicture(bool open);

    // Handlers
    void OnChooseFolder();
    void OnSelChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void PlaySong(const TreeItemRecord& record);
    void PlayEffect(const TreeItemRecord& record);
    void ExpandOnly(QTreeWidgetItem* root);
    void OnAbout();
    void ShowContextMenu(const QPoint& globalPos);
    QPoint KeyboardMenuPosition() const;
    void OnExport();

    // Declared in the order the design constructs them; the data set outlives the widgets that
    // show it.
    GameData gameData;
    QPixmap m_images[4]; // closed folder, open folder, sound wave, musical note
    TreeItemRecord* currentItem = nullptr;
    TreeItemKind currentKind = TreeItemKind::None;
    std::string workFolder;
    std::list<TreeItemRecord> m_records; // stable addresses: items point at their records
    std::unique_ptr<Ui::MainDialog> ui;
    ProgressBarControl m_progress;
};

} // namespace sv
