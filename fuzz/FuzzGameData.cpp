// A game folder made from the input: the first two bytes say where the sound archive ends and the
// songs archive begins. Opening must never crash or read outside the files.
#include "FuzzInput.h"
#include "archive/GameData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t split = std::min<std::size_t>(size - 2, data[0] | (data[1] << 8));
    const std::string game = fuzz::ScratchFolder() + "/Arena2";
    const std::string work = fuzz::ScratchFolder() + "/work";
    std::filesystem::create_directories(game);
    std::filesystem::create_directories(work);
    fuzz::Write(game + "/WYVERN.SND", data + 2, split);
    fuzz::Write(game + "/MIDI.BSA", data + 2 + split, size - 2 - split);

    sv::GameData set;
    set.SetWorkFolder(work);
    if (set.Open(game)) {
        std::string name;
        for (int i = 0; i < set.songArchive.RecordCount(); ++i) {
            set.songArchive.RecordName(i, 16, name);
        }
        for (int i = 0; i < set.soundArchive.RecordCount(); ++i) {
            set.soundArchive.RecordName(i, 16, name);
        }
    }
    return 0;
}
