#include "export/dialog/ExportRun.h"

#include "controls/Dialogs.h"
#include "export/BulkExport.h"
#include "export/RecordExport.h"
#include "export/dialog/CExportDialog.h"
#include "io/Paths.h"

#include <algorithm>

namespace sv {
namespace {

constexpr const char* kCaption = "Export";

QString FilesText(int count) {
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The folder part of a path the bulk export could not write; empty when no folder was given.
QString FolderOf(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    return separator == std::string::npos ? QString() : FromUtf8(path.substr(0, separator));
}

// What the save dialog offers for a track: the proposed name, the default suffix, the filter.
struct SaveOffer {
    QString proposed;
    QString suffix;
    QString filter;
};

std::optional<SaveOffer> OfferFor(const ExportTarget& target) {
    SaveOffer offer;
    if (target.kind == CExportDialog::kSongKind) {
        // The record's name without its ".HMI".
        offer = {target.text.left(std::max<qsizetype>(0, target.text.size() - 4)),
                 QStringLiteral(".mid"),
                 QStringLiteral("MIDI Files (*.mid);;Audio Files (*.wav *.flac *.ogg)")};
    } else if (target.kind == CExportDialog::kEffectKind) {
        offer = {target.text, QStringLiteral(".wav"),
                 QStringLiteral("Sounds (*.wav);;Audio Files (*.flac *.ogg)")};
    } else {
        return std::nullopt;
    }
    // A name from the game file must not steer the chooser into another folder.
    offer.proposed = FromUtf8(SafeName(offer.proposed.toStdString()));
    return offer;
}

// Writes the track to `path` in the application's form; what went wrong, with "%1" for the
// path, or nothing.
QString WriteTrack(const ExportTarget& target, const std::string& path, GameData& data) {
    if (target.kind == CExportDialog::kEffectKind)
        return data.ExtractEffect(target.index, path, true)
                   ? QString()
                   : QStringLiteral("Cannot write \"%1\".");
    // A song that does not convert leaves no file either: told apart from a written one.
    const Result<GameData::Extraction> song = data.ExtractSongFile(target.index, path, true);
    if (!song) {
        return QStringLiteral("Cannot write \"%1\".");
    }
    return *song == GameData::Extraction::NotConverted
               ? QStringLiteral("The song does not convert; \"%1\" was not written.")
               : QString();
}

// Writes the track to `path` in the form its extension names, as the command line's extract
// does; what went wrong, or nothing.
QString ExportTrack(const ExportTarget& target, const QString& path, GameData& data,
                    ProgressControl& progress) {
    const RecordKind kind =
        target.kind == CExportDialog::kSongKind ? RecordKind::Song : RecordKind::Effect;
    const std::string file = path.toStdString();
    const RecordForm form = FormFor(kind, file);
    switch (form.is) {
    case RecordForm::Is::Application: {
        const QString failure = WriteTrack(target, file, data);
        return failure.isEmpty() ? failure : failure.arg(path);
    }
    case RecordForm::Is::Rendered: {
        // The system's General MIDI SoundFont, as the command line renders without --soundfont,
        // or the FM chip.
        RenderSettings settings;
        settings.voice = target.voice;
        return FromUtf8(
            RenderRecord(data, kind, target.index, settings, file, form.type, &progress).message);
    }
    case RecordForm::Is::Unknown:
        break;
    }
    return QStringLiteral("\"%1\" names no form of %2: use %3.")
        .arg(path,
             kind == RecordKind::Song ? QStringLiteral("a song") : QStringLiteral("an effect"),
             FromUtf8(KnownExtensions(kind)));
}

void ExportSelected(QWidget* parent, const ExportTarget& target, GameData& data,
                    ProgressControl& progress) {
    const std::optional<SaveOffer> offer = OfferFor(target);
    if (!offer)
        return;
    const auto chosen = Dialogs().saveFile(parent, offer->proposed, offer->suffix, offer->filter);
    if (!chosen)
        return;
    const QString failure = ExportTrack(target, *chosen, data, progress);
    if (!failure.isEmpty())
        Dialogs().showError(parent, failure, QString::fromLatin1(kCaption));
}

void ExportAll(QWidget* parent, const ExportChoice& choice, GameData& data,
               ProgressControl& progress) {
    const BulkExportOptions options{choice.allEffects, choice.effectsPath.toStdString(),
                                    choice.allSongs, choice.songsPath.toStdString()};
    const BulkExportResult result = BulkExport(data, options, progress);
    if (result.passedOver == 0)
        return;
    const QString folder = FolderOf(result.notWritten.front());
    QString text = QStringLiteral("%1 written, %2 passed over.\n")
                       .arg(FilesText(result.written), FilesText(result.passedOver));
    text += folder.isEmpty() ? QStringLiteral("No folder was given for the first one passed over.")
                             : QStringLiteral("First folder that failed: \"%1\"").arg(folder);
    Dialogs().showError(parent, text, QString::fromLatin1(kCaption));
}

} // namespace

void CarryOutExport(QWidget* parent, const std::optional<ExportTarget>& current,
                    const ExportChoice& choice, GameData& data, ProgressControl& progress) {
    if (choice.selectedOnly) {
        if (current)
            ExportSelected(parent, *current, data, progress);
        return;
    }
    ExportAll(parent, choice, data, progress);
}

void RunExport(QWidget* parent, const std::optional<ExportTarget>& current, GameData& data,
               ProgressControl& progress) {
    ExportChoice choice;
    {
        CExportDialog dialog(parent);
        dialog.m_nSelectedKind = current ? current->kind : 0;
        if (dialog.exec() != QDialog::Accepted)
            return;
        choice = {dialog.m_bSelectedOnly, dialog.m_bAllEffects, dialog.m_strEffectsPath,
                  dialog.m_bAllSongs, dialog.m_strSongsPath};
    }
    // The dialog is gone before the export starts, so the window is seen while it runs.
    CarryOutExport(parent, current, choice, data, progress);
}

} // namespace sv
