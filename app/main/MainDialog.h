// The main window: the game folder in a path label, the songs and effects of the open folder in a
// tree, the media player below it, and three clickable pictures (choose the folder, export,
// About). Fixed size. Selecting a song or an effect extracts it into the work folder and plays
// it; Enter and Escape close the window, which ends the program.
//
// Skipping (the player's buttons, the media keys, the desktop's remote control) and the player's
// play-through modes move the tree's selection to the next or previous entry of the folder, so
// the entry plays as any selection does. A folder dropped on the window opens as one chosen in
// the folder dialog. The tree's second column shows each entry's playing time; the songs' are
// worked out on a worker thread once the window is up.
#pragma once

#include "app/main/ProgressBarControl.h"
#include "app/main/TreeItemRecord.h"
#include "archive/GameData.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QPixmap>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class MainDialog;
}

namespace sv {

class CMediaPlayer;
class RemoteControl;

class MainDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainDialog)

public:
    // Reads the work folder (the current directory, now) and the remembered game folder, opens
    // that folder if there is one (silently: a failure leaves the first-run look) and fills the
    // tree. A `folder` given (the command line's) is opened instead as the folder dialog opens
    // one: remembered when it opens; when it does not, the remembered folder opens and the error
    // box follows once the window is up.
    explicit MainDialog(QWidget* parent = nullptr, const QString& folder = QString());
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
    RemoteControl* Remote() const { return m_remote.get(); }

    // The entry after (step 1) or before (step -1) the selected one in its folder, round to the
    // other end when the player repeats the folder; with a folder selected, its first or last
    // entry. None when there is no such entry.
    QTreeWidgetItem* Neighbour(int step) const;
    // Selects that entry, which plays it; nothing when there is none.
    void Skip(int step);
    // The entry the player was last given, or none.
    const TreeItemRecord* PlayingItem() const { return m_playing; }

    // Opens `folder` as the folder dialog's "Open" does: refilled and remembered, or the one
    // error box. False when it did not open.
    bool OpenFolder(const QString& folder);

signals:
    // The entry playing, the selection or what can be skipped to changed.
    void playingChanged();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OnInitDialog(const QString& folder);
    // `length`, when given, fills the second column before the item joins the tree, where each
    // change of an item would be announced to the view.
    QTreeWidgetItem* InsertTreeItem(QTreeWidgetItem* parent, const QString& text, TreeItemKind kind,
                                    int image, int selectedImage, std::int32_t index,
                                    const QString& length = QString());
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
    void OnEnded();
    bool OnMediaKey(int key);
    void Played(const TreeItemRecord* record);
    void StartSongLengths();
    void ShowSongLengths();

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
    const TreeItemRecord* m_playing = nullptr; // the entry the player was last given
    std::unique_ptr<RemoteControl> m_remote;
    // Seconds per song record of the listing shown, none for a song that does not convert.
    QFutureWatcher<std::vector<std::optional<double>>> m_songLengths;
    bool m_painted = false; // the song lengths wait for the first paint
};

} // namespace sv
