// The opened game folder (the one the game calls "Arena2"): the sound archive "wyvern.snd", taken
// from the game folder, else rebuilt from the game's "PACKED.DAT" into a folder of the work folder
// that is named after the container (ContainerIdentity), where later opens of the same container
// find it; and the songs archive "midi.bsa" from the game folder.
#pragma once

#include "BsaArchive.h"
#include "io/ProgressControl.h"
#include "io/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sv {

class GameData {
public:
    GameData() = default;
    virtual ~GameData();
    GameData(const GameData&) = delete;
    GameData& operator=(const GameData&) = delete;

    // Not owned; may be none. Handed on to the rebuild.
    void SetProgressControl(ProgressControl* control) { progressControl = control; }
    void SetWorkFolder(const std::string& folder) { workFolder = folder; }
    // Where the explode decoder's lines go during a rebuild, newline included; none drops them.
    void SetDecoderLines(std::function<void(std::string_view)> sink) {
        decoderLines = std::move(sink);
    }
    // True when the folder holds a readable "wyvern.snd" or "packed.dat", and a readable
    // "midi.bsa", each a regular file or a link to one. Reads nothing from them.
    static bool ValidateFolder(const std::string& folder);

    // Opens both archives. A folder that fails validation changes nothing; a later failure leaves
    // the set closed. A failure names the file or folder at fault: the first of the files the
    // validation asks for that is missing or unreadable, an archive that does not open, or the
    // rebuild's failure.
    Status Open(const std::string& gameFolder);
    void Close();

    bool IsOpen() const { return isOpen != 0; }
    std::string Folder() const { return folder; }
    const std::string& WorkFolder() const { return workFolder; }

    // Record i of the songs archive as raw HMI bytes, optionally converted to a Standard MIDI File.
    // File names follow RawSongPath / MidiSongPath. Fails (nothing written, an existing file kept)
    // for an index outside the archive, a record that reaches past the end of its file, or a
    // file that could not be written. A song that does not convert leaves no file either, but
    // counts as done, as playback and export expect; ExtractSongFile tells the two apart.
    Status ExtractSong(int index, const std::string& path, bool convert);
    enum class Extraction { Written, NotConverted };
    Result<Extraction> ExtractSongFile(int index, const std::string& path, bool convert);
    // Record i of the sound archive as a WAV file (named by WavEffectPath) or as its raw bytes
    // (under the path as given).
    Status ExtractEffect(int index, const std::string& path, bool asWav);
    // 8-bit mono 11025 Hz PCM samples with the 44-byte RIFF header.
    static Status WriteWav(const std::uint8_t* samples, std::uint32_t count,
                           const std::string& path);

    // Unpacks entry entryIndex of sourceFolder's "PACKED.DAT" into destinationFolder under the
    // entry's own name (made safe as a file name). On failure, a fatal condition of the decoder
    // included (DecoderFatal), no partial file is left.
    Status RebuildSoundArchive(const std::string& sourceFolder,
                               const std::string& destinationFolder, int entryIndex);

    BsaArchive soundArchive;
    BsaArchive songArchive;

private:
    std::int32_t isOpen = 0;
    std::string folder;
    std::string workFolder;
    ProgressControl* progressControl = nullptr;
    std::function<void(std::string_view)> decoderLines;

    Status OpenSoundArchive(const std::string& gameFolder);
};

} // namespace sv
