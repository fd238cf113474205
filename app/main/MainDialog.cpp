// Template 102 comes from res/MainDialog.ui; this class gives the controls their look, keeps the
// tree's records, and handles the clicks, the selection and the keys.
#include "app/main/MainDialog.h"

#include "app/main/FolderDialog.h"
#include "app/main/RemoteControl.h"
#include "app/main/Settings.h"
#include "app/player/CMediaPlayer.h"
#include "archive/Extraction.h"
#include "archive/Listing.h"
#include "audio/PlayingTime.h"
#include "controls/AboutDialog.h"
#include "controls/Dialogs.h"
#include "controls/Resources.h"
#include "export/dialog/ExportRun.h"
#include "io/Paths.h"
#include "ui_MainDialog.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <cstdio>
#include <optional>

namespace sv {
namespace {

enum Image { kClosedFolder = 0, kOpenFolder = 1, kWave = 2, kNote = 3 };

const char* const kInvitation = "Click here to set your Arena2 folder...";
const char* const kOpenFailed =
    "Failed to open Arena2 folder.\nContents may be incomplete or damaged.";
const char* const kSongArchive = "midi.bsa";
constexpr int kLengthColumnWidth = 52;
constexpr int kUnpaintedLengthsMs = 100;

// As the player's total time shows it.
QString SongLength(double seconds) {
    const auto whole = static_cast<long long>(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString EffectLength(double seconds) {
    return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
}

// Every song record of the archive at `folder` timed, from an archive opened for this thread.
std::vector<std::optional<double>> TimeSongs(const std::string& folder) {
    std::vector<std::optional<double>> seconds;
    BsaArchive songs;
    if (!songs.Open(folder, kSongArchive, true)) {
        return seconds;
    }
    seconds.resize(static_cast<std::size_t>(songs.RecordCount()));
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < songs.RecordCount(); ++i) {
        bytes.resize(songs.RecordSize(i));
        if (songs.RecordWithinFile(i) &&
            songs.ReadRecord(i, bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
            seconds[static_cast<std::size_t>(i)] = SongSeconds(bytes);
        }
    }
    return seconds;
}

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

// The one local folder a drag carries, or an empty string.
QString DroppedFolder(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1 ||
        !mime->urls().front().isLocalFile()) {
        return {};
    }
    const QString path = mime->urls().front().toLocalFile();
    return QFileInfo(path).isDir() ? QDir::toNativeSeparators(path) : QString();
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

MainDialog::MainDialog(QWidget* parent, const QString& folder)
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
    // The names take what the lengths, right-aligned at the edge, leave.
    ui->tree->setColumnCount(2);
    ui->tree->header()->setStretchLastSection(false);
    ui->tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    ui->tree->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    ui->tree->header()->resizeSection(1, kLengthColumnWidth);
    ui->tree->setAllColumnsShowFocus(true); // one row, one focus frame
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setAcceptDrops(true);

    // Pictures and the label
    connect(ui->folderPicture, &CHotStatic::clicked, this, &MainDialog::OnChooseFolder);
    connect(ui->pathLabel, &LabelCtrl::clicked, this, &MainDialog::OnChooseFolder);
    connect(ui->exportPicture, &CHotStatic::clicked, this, &MainDialog::OnExport);
    connect(ui->aboutPicture, &CHotStatic::clicked, this, &MainDialog::OnAbout);
    // Tree
    connect(ui->tree, &QTreeWidget::currentItemChanged, this, &MainDialog::OnSelChanged);
    // Player: the skip buttons and the modes that go on to the next entry.
    connect(ui->player, &CMediaPlayer::previous, this, [this] { Skip(-1); });
    connect(ui->player, &CMediaPlayer::next, this, [this] { Skip(1); });
    connect(ui->player, &CMediaPlayer::ended, this, &MainDialog::OnEnded);
    connect(ui->player, &CMediaPlayer::modeChanged, this, &MainDialog::playingChanged);
    connect(this, &MainDialog::playingChanged, this, [this] {
        ui->player->SetNavigation(Neighbour(-1) != nullptr, Neighbour(1) != nullptr);
    });
    // Lengths: the songs' after the first paint (or soon, if the window is not shown).
    connect(&m_songLengths, &QFutureWatcher<std::vector<std::optional<double>>>::finished, this,
            &MainDialog::ShowSongLengths);
    QTimer::singleShot(kUnpaintedLengthsMs, this, [this] {
        if (!m_painted && !isVisible()) { // one that is shown waits for its paint, however slow
            m_painted = true;
            StartSongLengths();
        }
    });

    OnInitDialog(folder);
    m_remote = std::make_unique<RemoteControl>(*this, *ui->player);
}

MainDialog::~MainDialog() {
    m_songLengths.waitForFinished(); // the worker holds nothing of ours, but must end first
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

void MainDialog::OnInitDialog(const QString& folder) {
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
    const bool opened = !folder.isEmpty() && gameData.Open(folder.toStdString());
    if (!opened && !previous.isEmpty()) {
        (void)gameData.Open(previous.toStdString()); // a failure at start-up is silent
    }
    RefillTree();
    ui->tree->setFocus();
    if (opened) {
        WritePreviousArena2Path(folder);
    } else if (!folder.isEmpty()) {
        // Once the window is up, so that the box has it to stand on.
        QTimer::singleShot(0, this,
                           [this] { Dialogs().showError(this, tr(kOpenFailed), tr("Error!")); });
    }
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
    m_playing = nullptr;
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
                       kWave, effect.index, EffectLength(EffectSeconds(effect.size)));
    }
    for (const ListedRecord& song : ListSongs(gameData)) {
        InsertTreeItem(songs, QString::fromStdString(song.name), TreeItemKind::Song, kNote, kNote,
                       song.index);
    }
    ui->tree->setUpdatesEnabled(true);
    if (m_painted) {
        StartSongLengths();
    }
    emit playingChanged();
    return true;
}

void MainDialog::StartSongLengths() {
    if (gameData.IsOpen()) {
        m_songLengths.setFuture(QtConcurrent::run(TimeSongs, gameData.Folder()));
    }
}

// A result for another listing (a folder opened since) does not match the records shown.
void MainDialog::ShowSongLengths() {
    const std::vector<std::optional<double>> seconds = m_songLengths.result();
    if (seconds.size() != static_cast<std::size_t>(gameData.songArchive.RecordCount())) {
        return;
    }
    for (const TreeItemRecord& record : m_records) {
        const std::optional<double>& length = seconds[static_cast<std::size_t>(record.index)];
        if (record.kind == TreeItemKind::Song && length) {
            record.item->setText(1, SongLength(*length));
        }
    }
}

QTreeWidgetItem* MainDialog::InsertTreeItem(QTreeWidgetItem* parent, const QString& text,
                                            TreeItemKind kind, int image, int selectedImage,
                                            std::int32_t index, const QString& length) {
    TreeItemRecord& record = m_records.emplace_back();
    // The selected image shows while the item is selected, as the open folder does.
    QIcon icon(m_images[image]);
    if (selectedImage != image) {
        icon.addPixmap(m_images[selectedImage], QIcon::Selected);
    }
    auto* item = new QTreeWidgetItem(QStringList{text, length});
    item->setIcon(0, icon);
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
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
    if (dialog.exec() == QDialog::Accepted) {
        (void)OpenFolder(dialog.path);
    }
}

bool MainDialog::OpenFolder(const QString& folder) {
    if (!gameData.Open(folder.toStdString())) {
        Dialogs().showError(this, tr(kOpenFailed), tr("Error!"));
        return false;
    }
    RefillTree();
    WritePreviousArena2Path(folder);
    return true;
}

void MainDialog::OnSelChanged(QTreeWidgetItem* current, QTreeWidgetItem* /*previous*/) {
    TreeItemRecord* record = RecordOf(current);
    if (record == nullptr) {
        // The selection went away with the items; no record to point at.
        currentItem = nullptr;
        currentKind = TreeItemKind::None;
        emit playingChanged();
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
        emit playingChanged();
        break;
    case TreeItemKind::None:
        break;
    }
}

// The player holds `record`'s file now, or (none) no file.
void MainDialog::Played(const TreeItemRecord* record) {
    m_playing = record;
    emit playingChanged();
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
        Played(nullptr);
        return;
    }
    // The extraction lower-cases the file name; hand the player the name it wrote.
    ui->player->SetFileName(QString::fromStdString(MidiSongPath(raw)));
    ui->player->Play();
    Played(&record);
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
        Played(nullptr);
        return;
    }
    ui->player->SetFileName(QString::fromStdString(WavEffectPath(raw)));
    ui->player->Play();
    Played(&record);
}

QTreeWidgetItem* MainDialog::Neighbour(int step) const {
    if (currentItem == nullptr) {
        return nullptr;
    }
    QTreeWidgetItem* item = currentItem->item;
    if (currentItem->kind == TreeItemKind::Folder) {
        const int count = item->childCount();
        return count == 0 ? nullptr : item->child(step > 0 ? 0 : count - 1);
    }
    QTreeWidgetItem* folder = item->parent();
    if (folder == nullptr) {
        return nullptr;
    }
    const int count = folder->childCount();
    int i = folder->indexOfChild(item) + step;
    if (i < 0 || i >= count) {
        if (ui->player->Mode() != PlayMode::RepeatAll) {
            return nullptr;
        }
        i = (i + count) % count;
    }
    return folder->child(i);
}

// An entry that is its own neighbour (the only one of its folder, going round) is selected
// already, which raises no selection change: it is played again as a selection would.
void MainDialog::Skip(int step) {
    QTreeWidgetItem* item = Neighbour(step);
    if (item == nullptr) {
        return;
    }
    if (item != ui->tree->currentItem()) {
        ui->tree->setCurrentItem(item);
        ui->tree->scrollToItem(item);
    } else if (currentItem->kind == TreeItemKind::Song) {
        PlaySong(*currentItem);
    } else if (currentItem->kind == TreeItemKind::Effect) {
        PlayEffect(*currentItem);
    }
}

// Only an entry that is still selected leads on: with a folder selected since, playback ends.
void MainDialog::OnEnded() {
    const PlayMode mode = ui->player->Mode();
    if ((mode == PlayMode::PlayThrough || mode == PlayMode::RepeatAll) && currentItem != nullptr &&
        currentItem == m_playing) {
        Skip(1);
    }
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
                               currentItem->text, ui->player->Voice()};
    }
    RunExport(this, current, gameData, m_progress);
}

// Enter closes the window as Escape does; the tree passes both on. Where the platform makes no
// context menu of the Menu key or Shift+F10 (X11, Wayland), they arrive here as keys.
void MainDialog::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (OnMediaKey(key)) {
        return;
    }
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

bool MainDialog::event(QEvent* event) {
    if (event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        QTimer::singleShot(0, this, &MainDialog::StartSongLengths);
    }
    return QDialog::event(event);
}

// The keyboard's media keys, while the window has the focus. Most keyboards have one key for
// play and pause, which X calls "play".
bool MainDialog::OnMediaKey(int key) {
    switch (key) {
    case Qt::Key_MediaNext:
        Skip(1);
        return true;
    case Qt::Key_MediaPrevious:
        Skip(-1);
        return true;
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause:
        ui->player->PlayPause();
        return true;
    case Qt::Key_MediaPause:
        ui->player->Pause();
        return true;
    case Qt::Key_MediaStop:
        ui->player->Stop();
        return true;
    default:
        return false;
    }
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFolder(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainDialog::dropEvent(QDropEvent* event) {
    const QString folder = DroppedFolder(event->mimeData());
    if (!folder.isEmpty()) {
        event->acceptProposedAction();
        // After the drag has finished: the open may show the error box or rebuild an archive.
        QTimer::singleShot(0, this, [this, folder] { (void)OpenFolder(folder); });
    }
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
