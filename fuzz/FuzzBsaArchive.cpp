// Any bytes as a BSA archive: open, names, sizes, and every record that lies inside the file.
#include "FuzzInput.h"
#include "archive/BsaArchive.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = fuzz::ScratchFolder();
    fuzz::Write(folder + "/archive.bsa", data, size);

    sv::BsaArchive archive;
    if (!archive.Open(folder, "archive.bsa", true)) {
        return 0;
    }
    std::vector<std::uint8_t> buffer;
    for (int i = 0; i < archive.RecordCount(); ++i) {
        std::string name;
        archive.RecordName(i, 16, name);
        if (name.size() > 16) {
            std::abort();
        }
        // Sizes come from the file: read only what the file can back, as extraction does.
        const std::uint32_t n = archive.RecordSize(i);
        if (archive.RecordWithinFile(i)) {
            buffer.assign(n, 0);
            archive.ReadRecord(i, buffer.data(), n);
        }
        std::uint8_t small[8];
        archive.ReadRecord(i, small, sizeof small);
    }
    return 0;
}
