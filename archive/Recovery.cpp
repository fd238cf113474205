// The container walk behind the sound archive's rebuild. The decoder runs once per block on the
// open container, into one of two reused buffers, while the blocks before are written on a second
// thread.
#include "Recovery.h"

#include "io/BlockWriter.h"
#include "io/ByteCursor.h"
#include "io/File.h"
#include "io/OutputFile.h"
#include "io/Paths.h"
#include "io/ProgressControl.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

namespace sv {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 25;
constexpr std::size_t kNameSize = 13;
constexpr std::int64_t kBlockHeader = 36;

struct PackedEntry {
    std::int32_t size = 0;
    std::string name;
    std::uint32_t dataOffset = 0;
};

bool ReadExactly(std::FILE* file, std::uint8_t* to, std::size_t n) {
    return std::fread(to, 1, n, file) == n;
}

bool ReadEntry(std::FILE* in, int entryIndex, PackedEntry& entry) {
    std::array<std::uint8_t, kEntrySize> raw{};
    if (entryIndex < 0 || !ReadExactly(in, raw.data(), kHeaderSize)) {
        return false;
    }
    const std::uint32_t directory = ByteCursor(raw).U32();
    if (!SeekTo(in, directory + std::uint64_t{kEntrySize} * static_cast<unsigned>(entryIndex)) ||
        !ReadExactly(in, raw.data(), kEntrySize)) {
        return false;
    }
    ByteCursor cursor(raw);
    entry.size = static_cast<std::int32_t>(cursor.U32());
    cursor.Skip(4);
    const auto name = cursor.Bytes(kNameSize);
    const auto* nul = static_cast<const std::uint8_t*>(std::memchr(name.data(), 0, name.size()));
    if (nul == nullptr) {
        return false;
    }
    entry.name.assign(name.data(), nul);
    entry.dataOffset = cursor.U32();
    return true;
}

class ShownProgress {
public:
    ShownProgress(ProgressControl* control, std::int32_t size) : m_control(control) {
        if (m_control != nullptr) {
            m_control->Show();
            m_control->SetRange(0, size);
        }
    }
    ~ShownProgress() {
        if (m_control != nullptr) {
            m_control->Hide();
        }
    }
    ShownProgress(const ShownProgress&) = delete;
    ShownProgress& operator=(const ShownProgress&) = delete;
    void SetPos(std::int64_t total) {
        if (m_control != nullptr) {
            m_control->SetPos(
                static_cast<std::int32_t>(total < std::numeric_limits<std::int32_t>::max()
                                              ? total
                                              : std::numeric_limits<std::int32_t>::max()));
        }
    }

private:
    ProgressControl* m_control;
};

} // namespace

Result<std::string> ContainerIdentity(const std::string& sourceFolder) {
    const std::string container = ResolveCase(JoinPath(sourceFolder, "PACKED.DAT"));
    const Result<FilePtr> opened = OpenForReading(container, true);
    if (!opened) {
        return opened.Error();
    }
    std::error_code ec;
    const auto modified = std::filesystem::last_write_time(ToPath(container), ec);
    const std::int64_t stamp =
        ec ? 0 : static_cast<std::int64_t>(modified.time_since_epoch().count());
    const std::int64_t length = FileLength(opened->get());

    std::uint64_t hash = 0xcbf29ce484222325u;
    const auto mix = [&hash](const std::uint8_t* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            hash = (hash ^ bytes[i]) * 0x100000001b3u;
        }
    };
    for (const std::int64_t number : {length, stamp}) {
        std::uint8_t bytes[8];
        for (int i = 0; i < 8; ++i) {
            bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(number) >> (8 * i));
        }
        mix(bytes, sizeof bytes);
    }
    // A cut header or directory is hashed as far as it goes; the rebuild then says what is wrong.
    std::array<std::uint8_t, kHeaderSize> header{};
    const std::size_t got = std::fread(header.data(), 1, header.size(), opened->get());
    mix(header.data(), got);
    std::vector<std::uint8_t> directory(kEntrySize * 4096);
    if (got == header.size() && SeekTo(opened->get(), ByteCursor(header).U32())) {
        mix(directory.data(), std::fread(directory.data(), 1, directory.size(), opened->get()));
    }
    char name[32];
    (void)std::snprintf(name, sizeof name, "packed-%016llx", static_cast<unsigned long long>(hash));
    return std::string(name);
}

Status RebuildFromContainer(const std::string& sourceFolder, const std::string& destinationFolder,
                            int entryIndex, ProgressControl* progress,
                            const DecoderLineSink& lines) {
    const std::string container = ResolveCase(JoinPath(sourceFolder, "PACKED.DAT"));
    const Result<FilePtr> opened = OpenForReading(container, true);
    if (!opened) {
        return opened.Error();
    }
    std::FILE* in = opened->get();
    const std::string entryText = "entry " + std::to_string(entryIndex);
    PackedEntry entry;
    if (!ReadEntry(in, entryIndex, entry)) {
        return Status::ReadFailed(container, entryText + " is not there in full");
    }
    if (entry.name.empty()) {
        return Status::ReadFailed(container, entryText + " has no name");
    }
    // Past the end of the file this still succeeds, and the first header then reads as cut.
    SeekTo(in, std::uint64_t{entry.dataOffset} + kBlockHeader);

    OutputFile out;
    // Names that differ only in letter case are one file where the game runs: an older file so
    // named is the one replaced, so that the archive's open finds the new bytes.
    if (const Status created =
            out.Create(ResolveCase(JoinPath(destinationFolder, SafeName(entry.name))));
        !created) {
        return Status::WriteFailed(destinationFolder, created.Why().reason);
    }
    // Room for two blocks or more, so that the thread gets many blocks at once. Declared after
    // `out`, so that its thread has stopped before `out` is discarded.
    BlockWriter writer(out, 2 * kBlockLimit);
    if (!writer.Ready()) {
        return Status::ReadError(container, ENOMEM);
    }

    ShownProgress shown(progress, entry.size);
    // Unlike a 32-bit running total, this one cannot wrap past 2^31 and go on reading blocks.
    std::int64_t total = 0;
    while (total < entry.size) {
        std::uint32_t produced = 0;
        {
            tcBitstream bits(in);
            Exploder exploder(&bits, lines);
            if (exploder.Status() != ExplodeStatus::kOk) {
                return Failure{Failure::Access::Read, container, entryText + " does not decompress",
                               true};
            }
            exploder.Decode(writer.Space(), produced, kBlockLimit);
        }
        const std::int64_t here = Tell(in);
        SeekTo(in, static_cast<std::uint64_t>(here < 0 ? 0 : here) + kBlockHeader);
        if (!writer.Add(produced, kBlockLimit)) {
            break; // Commit says why
        }
        total += produced;
        shown.SetPos(total);
    }
    (void)writer.Finish(); // a failed write is Commit's to report
    if (const Status committed = out.Commit(); !committed) {
        return Status::WriteFailed(destinationFolder, committed.Why().reason);
    }
    return {};
}

} // namespace sv
