// Template 102 comes from res/MainDialog.ui; this class gives the controls their look, keeps the
// tree's records, and handles the clicks, the selection and the keys.
#include "app/main/MainDialog.h"

#include "app/main/FolderDialog.h"
#include "app/main/Settings.h"
#include "app/player/CMediaPlayer.h"
#include "archive/Extraction.h"
#include "archive/Listing.h"
#include "controls/AboutDialog.h"
#include "controls/Dialogs.h"
#include "controls/Resources.h"
#include "export/dialog/ExportRun.h"
#include "io/Paths.h"
#include "ui_MainDialog.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QStyledItemDelegate>
#include <cstdio>
#include <optional>

namespace sv {
namespace {

enum Image { kClosedFolder = 0, kOpenFolder = 1, kWave = 2, kNote = 3 };

const char* const kInvitation = "Click here to set your Arena2 folder...";
const char* const kOpenFailed =
    "Failed to open Arena2 folder.\nContents may be incomplete or damaged.";

// Hot tracking: the item under the mouse is underlined in the link colour.
class HotTrackDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_MouseOver) {
            option->font.setUnderline(true);
            if (!(option->state & QStyle::State_Selected)) {
                option->palette.setColor(QPalette::Text, option->palette.color(QPalette::Link));
            }
        }
    }
};

QIcon Picture(const char* resource) {
    return QIcon(QString::fromLatin1(resource));
}

TreeItemRecord* RecordOf(const QTreeWidgetItem* item) {
    if (item == nullptr) {
        return nullptr;
    }
    return static_cast<TreeItemRecord*>(item->data(0, Qt::UserRole).value<void*>());
}

void DecoderLineToStderr(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

Ui::MainDialog* SetUpUi(QDialog* dialog) {
    EnsureResources();
    auto* ui = new Ui::MainDialog;
    ui->setupUi(dialog);
    return ui;
}

} // namespace

MainDialog::MainDialog(QWidget* parent)
    : QDialog(parent), ui(SetUpUi(this)), m_progress(ui->progressBar) {
    // A window of its own in the taskbar: caption, system menu, minimise and close; fixed size.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui->progressBar->hide();
    ui->exportPicture->hide();
    ui->tree->setItemDelegate(new HotTrackDelegate(ui->tree));
    ui->tree->setMouseTracking(true);
    ui->tree->viewport()->setAttribute(Qt::WA_Hover);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    // Pictures and the label
    connect(ui->folderPicture, &CHotStatic::clicked, this, &MainDialog::OnChooseFolder);
    connect(ui->pathLabel, &LabelCtrl::clicked, this, &MainDialog::OnChooseFolder);
    connect(ui->exportPicture, &CHotStatic::clicked, this, &MainDialog::OnExport);
    connect(ui->aboutPicture, &CHotStatic::clicked, this, &MainDialog::OnAbout);
    // Tree
    connect(ui->tree, &QTreeWidget::currentItemChanged, this, &MainDialog::OnSelChanged);

    OnInitDialog();
}

MainDialog::~MainDialog() {
    // The tree's items point at the records: take them down first.
    ui->tree->blockSignals(true);
    ui->tree->clear();
    FreeRecords();
}

QTreeWidget* MainDialog::Tree() const {
    return ui->tree;
}

CMediaPlayer* MainDialog::Player() const {
    return ui->player;
}

void MainDialog::OnInitDialog() {
    workFolder = QDir::toNativeSeparators(QDir::currentPath()).toStdString();
    if (workFolder.empty()) {
        // The directory is gone: "." makes the temporary files fail to be written, where an
        // empty folder would put them at the root.
        workFolder = ".";
    }

    const QIcon appIcon = AppIcon();
    setWindowIcon(appIcon);

    const QSize imageSize(16, 16);
    const char* const images[] = {":/tree/folder-closed.svg", ":/tree/folder-open.svg",
                                  ":/tree/wave.svg", ":/tree/note.svg"};
    for (int i = 0; i < 4; ++i) {
        m_images[i] = Picture(images[i]).pixmap(imageSize, devicePixelRatioF());
    }

    const QCursor hand(Qt::PointingHandCursor);
    ui->pathLabel->SetFontName(QStringLiteral("Arial"), 0)
        .SetFontSize(9)
        .SetFontUnderline(true)
        .SetTextColor(QColor(0, 0, 128))
        .SetLinkCursor(hand);
    ui->folderPicture->SetHotCursor(hand);
    ui->exportPicture->SetHotCursor(hand);
    ui->aboutPicture->SetHotCursor(hand);
    ui->exportPicture->setPixmap(
        Picture(":/pictures/floppy.svg").pixmap(ui->exportPicture->size(), devicePixelRatioF()));
    ui->aboutPicture->setPixmap(
        Picture(":/pictures/question.svg").pixmap(ui->aboutPicture->size(), devicePixelRatioF()));

    const QString previous = ReadPreviousArena2Path();
    gameData.SetProgressControl(&m_progress);
    gameData.SetWorkFolder(workFolder);
    gameData.SetDecoderLines(DecoderLineToStderr);
    if (!previous.isEmpty()) {
        (void)gameData.Open(previous.toStdString()); // a failure at start-up is silent
    }
    RefillTree();
    ui->tree->setFocus();
}

bool MainDialog::RefillTree() {
    if (!gameData.IsOpen()) {
        ShowFolderPicture(false);
        ui->pathLabel->SetText(tr(kInvitation));
        ui->exportPicture->hide();
        return true;
    }
    ShowFolderPicture(true);
    ui->pathLabel->SetText(QString::fromStdString(gameData.Folder()));
    ui->exportPicture->show();
    if (ui->tree->topLevelItemCount() > 0) {
        ui->tree->clear();
    }
    ui->player->SetFileName(QString());
    FreeRecords();
    currentItem = nullptr;
    currentKind = TreeItemKind::None;

    ui->tree->setUpdatesEnabled(false);
    QTreeWidgetItem* effects =
        InsertTreeItem(nullptr, tr("Effects"), TreeItemKind::Folder, kClosedFolder, kOpenFolder, 0);
    QTreeWidgetItem* songs =
        InsertTreeItem(nullptr, tr("Songs"), TreeItemKind::Folder, kClosedFolder, kOpenFolder, 0);
    for (const ListedRecord& effect : ListEffects(gameData)) {
        InsertTreeItem(effects, QString::fromStdString(effect.name), TreeItemKind::Effect, kWave,
                       kWave, effect.index);
    }
    for (const ListedRecord& song : ListSongs(gameData)) {
        InsertTreeItem(songs, QString::fromStdString(song.name), TreeItemKind::Song, kNote, kNote,
                       song.index);
    }
    ui->tree->setUpdatesEnabled(true);
    return true;
}

QTreeWidgetItem* MainDialog::InsertTreeItem(QTreeWidgetItem* parent, const QString& text,
                                            TreeItemKind kind, int image, int selectedImage,
                                            std::int32_t index) {
    TreeItemRecord& record = m_records.emplace_back();
    // The selected image shows while the item is selected, as the open folder does.
    QIcon icon(m_images[image]);
    if (selectedImage != image) {
        icon.addPixmap(m_images[selectedImage], QIcon::Selected);
    }
    auto* item = new QTreeWidgetItem(QStringList(text));
    item->setIcon(0, icon);
    item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(&record)));
    if (parent != nullptr) {
        parent->addChild(item);
    } else {
        ui->tree->addTopLevelItem(item);
    }
    record.kind = kind;
    record.item = item;
    record.parent = parent;
    record.text = text;
    record.index = index;
    return item;
}

void MainDialog::FreeRecords() {
    m_records.clear();
}

void MainDialog::ShowFolderPicture(bool open) {
    const QIcon picture = Picture(open ? ":/pictures/folder-music.svg" : ":/pictures/bulb.svg");
    ui->folderPicture->setPixmap(picture.pixmap(ui->folderPicture->size(), devicePixelRatioF()));
}

// The dialog shows the folder last opened through it, which need not be the one open now.
void MainDialog::OnChooseFolder() {
    FolderDialog dialog(this);
    dialog.path = ReadPreviousArena2Path();
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (!gameData.Open(dialog.path.toStdString())) {
        Dialogs().showError(this, tr(kOpenFailed), tr("Error!"));
        return;
    }
    RefillTree();
    WritePreviousArena2Path(dialog.path);
}

void MainDialog::OnSelChanged(QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/) {
    TreeItemRecord* record = RecordOf(current);
    if (record == nullptr) {
        // The selection went away with the items; no record to point at.
        currentItem = nullptr;
        currentKind = TreeItemKind::None;
        return;
    }
    currentItem = record;
    currentKind = record->kind;
    switch (record->kind) {
    case TreeItemKind::Song:
        PlaySong(*record);
        break;
    case TreeItemKind::Effect:
        PlayEffect(*record);
        break;
    case TreeItemKind::Folder:
        ExpandOnly(record->item); // playback goes on
        break;
    case TreeItemKind::None:
        break;
    }
}

// The player lets go of its file before the extraction overwrites it. A record that cannot be
// had leaves the player without a file, saying so, rather than replaying an older temporary file.
// After a failed open the tree still lists the previous folder while its archive is closed.
void MainDialog::PlaySong(const TreeItemRecord& record) {
    ui->player->SetFileName(QString());
    const std::string raw = JoinPathAlways(workFolder, "temp.hmi");
    const Result<GameData::Extraction> result = gameData.ExtractSongFile(record.index, raw, true);
    if (!result || *result != GameData::Extraction::Written) {
        if (!gameData.songArchive.IsOpen()) {
            ui->player->ShowProblem(
                tr("The song \"%1\" could not be read: the game folder did not open.")
                    .arg(record.text));
        } else if (result) {
            ui->player->ShowProblem(
                tr("The song \"%1\" could not be converted, so it cannot be played.")
                    .arg(record.text));
        } else {
            ui->player->ShowProblem(
                tr("The song \"%1\" could not be extracted into the work folder.")
                    .arg(record.text));
        }
        return;
    }
    // The extraction lower-cases the file name; hand the player the name it wrote.
    ui->player->SetFileName(QString::fromStdString(MidiSongPath(raw)));
    ui->player->Play();
}

void MainDialog::PlayEffect(const TreeItemRecord& record) {
    ui->player->SetFileName(QString());
    const std::string raw = JoinPathAlways(workFolder, "temp.raw");
    if (!gameData.ExtractEffect(record.index, raw, true)) {
        ui->player->ShowProblem(
            gameData.soundArchive.IsOpen()
                ? tr("The sound effect %1 could not be extracted into the work folder.")
                      .arg(record.text)
                : tr("The sound effect %1 could not be read: the game folder did not open.")
                      .arg(record.text));
        return;
    }
    ui->player->SetFileName(QString::fromStdString(WavEffectPath(raw)));
    ui->player->Play();
}

// Single expand: the selected root opens and the other closes.
void MainDialog::ExpandOnly(QTreeWidgetItem* root) {
    for (int i = 0; i < ui->tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = ui->tree->topLevelItem(i);
        top->setExpanded(top == root);
    }
}

void MainDialog::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainDialog::OnExport() {
    std::optional<ExportTarget> current;
    if (currentItem != nullptr) {
        current = ExportTarget{static_cast<std::uint32_t>(currentItem->kind), currentItem->index,
                               currentItem->text};
    }
    RunExport(this, current, gameData, m_progress);
}

// Enter closes the window as Escape does; the tree passes both on. Where the platform makes no
// context menu of the Menu key or Shift+F10 (X11, Wayland), they arrive here as keys.
void MainDialog::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods == Qt::NoModifier && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        accept();
        return;
    }
    if ((mods == Qt::NoModifier && key == Qt::Key_Menu) ||
        (mods == Qt::ShiftModifier && key == Qt::Key_F10)) {
        ShowContextMenu(KeyboardMenuPosition());
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    ShowContextMenu(event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                : KeyboardMenuPosition());
}

// Where the window's system menu cannot be added to, its one entry lives here.
void MainDialog::ShowContextMenu(const QPoint& globalPos) {
    QMenu menu(this);
    // Everything the pictures do, from the keyboard too.
    if (!ui->exportPicture->isHidden()) {
        menu.addAction(tr("&Export..."), this, &MainDialog::OnExport);
    }
    menu.addAction(tr("&About Sonvault..."), this, &MainDialog::OnAbout);
    menu.exec(globalPos);
}

// Below the selected item when the tree has the focus, else at the focused control's centre.
QPoint MainDialog::KeyboardMenuPosition() const {
    QWidget* focus = focusWidget();
    if (focus == ui->tree && ui->tree->currentItem() != nullptr) {
        const QRect item = ui->tree->visualItemRect(ui->tree->currentItem());
        if (ui->tree->viewport()->rect().intersects(item)) {
            return ui->tree->viewport()->mapToGlobal(item.bottomLeft());
        }
    }
    if (focus == nullptr) {
        focus = ui->tree;
    }
    return focus->mapToGlobal(focus->rect().center());
}

} // namespace sv
