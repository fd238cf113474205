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
#include <cstring>
#include <limits>

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

const char* Describe(RebuildResult result) {
    switch (result) {
    case RebuildResult::kDone:
        return "done";
    case RebuildResult::kNoContainer:
        return "PACKED.DAT cannot be opened";
    case RebuildResult::kBadEntry:
        return "the entry cannot be read from PACKED.DAT";
    case RebuildResult::kNoName:
        return "the entry has no name";
    case RebuildResult::kNoOutput:
        return "the output file cannot be created";
    case RebuildResult::kNoMemory:
        return "out of memory";
    case RebuildResult::kWriteFailed:
        return "the output file could not be written";
    case RebuildResult::kFatal:
        return "the explode decoder met a fatal condition";
    }
    return "";
}

RebuildResult RebuildFromContainer(const std::string& sourceFolder,
                                   const std::string& destinationFolder, int entryIndex,
                                   ProgressControl* progress, const DecoderLineSink& lines,
                                   ExplodeStatus* fatal) {
    if (fatal != nullptr) {
        *fatal = ExplodeStatus::kOk;
    }
    const FilePtr in = OpenRegularFile(ResolveCase(JoinPath(sourceFolder, "PACKED.DAT")));
    if (!in) {
        return RebuildResult::kNoContainer;
    }
    PackedEntry entry;
    if (!ReadEntry(in.get(), entryIndex, entry)) {
        return RebuildResult::kBadEntry;
    }
    if (entry.name.empty()) {
        return RebuildResult::kNoName;
    }
    // Past the end of the file this still succeeds, and the first header then reads as cut.
    SeekTo(in.get(), std::uint64_t{entry.dataOffset} + kBlockHeader);

    OutputFile out;
    // Names that differ only in letter case are one file where the game runs: an older file so
    // named is the one replaced, so that the archive's open finds the new bytes.
    if (!out.Create(ResolveCase(JoinPath(destinationFolder, SafeName(entry.name))))) {
        return RebuildResult::kNoOutput;
    }
    // Room for two blocks or more, so that the thread gets many blocks at once. Declared after
    // `out`, so that its thread has stopped before `out` is discarded.
    BlockWriter writer(out, 2 * kBlockLimit);
    if (!writer.Ready()) {
        return RebuildResult::kNoMemory;
    }

    ShownProgress shown(progress, entry.size);
    // Unlike a 32-bit running total, this one cannot wrap past 2^31 and go on reading blocks.
    std::int64_t total = 0;
    while (total < entry.size) {
        std::uint32_t produced = 0;
        {
            tcBitstream bits(in.get());
            Exploder exploder(&bits, lines);
            if (exploder.Status() != ExplodeStatus::kOk) {
                if (fatal != nullptr) {
                    *fatal = exploder.Status();
                }
                return RebuildResult::kFatal;
            }
            exploder.Decode(writer.Space(), produced, kBlockLimit);
        }
        const std::int64_t here = Tell(in.get());
        SeekTo(in.get(), static_cast<std::uint64_t>(here < 0 ? 0 : here) + kBlockHeader);
        if (!writer.Add(produced, kBlockLimit)) {
            return RebuildResult::kWriteFailed;
        }
        total += produced;
        shown.SetPos(total);
    }
    return writer.Finish() && out.Commit() ? RebuildResult::kDone : RebuildResult::kWriteFailed;
}

} // namespace sv
