// A "PACKED.DAT" made from the input, its first byte choosing the entry: the rebuild must fail
// cleanly or write exactly one file, inside the work folder, whatever the entry's name.
#include "FuzzInput.h"
#include "archive/Recovery.h"

#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::string game = fuzz::ScratchFolder() + "/Arena2";
    const std::string work = fuzz::ScratchFolder() + "/work";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(game);
    std::filesystem::create_directories(work);
    fuzz::Write(game + "/PACKED.DAT", data + 1, size - 1);

    const sv::Status result =
        sv::RebuildFromContainer(game, work, data[0] % 4, nullptr, [](std::string_view) {});
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(work)) {
        (void)entry;
        ++files;
    }
    if (files != (result.Ok() ? 1u : 0u)) {
        std::abort();
    }
    // Nothing may appear beside the work folder.
    std::size_t beside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(fuzz::ScratchFolder())) {
        (void)entry;
        ++beside;
    }
    if (beside != 2) {
        std::abort();
    }
    return 0;
}
