#include "MidiCleaner.h"

#include "MidiEvents.h"
#include "io/ByteCursor.h"
#include "io/VarLen.h"

#include <algorithm>
#include <cstring>

namespace sv {
namespace {

// A delta time beyond what 4 bytes hold (the sum of many dropped ones) is spread over empty
// text events.
void PutDelta(std::vector<std::uint8_t>& out, std::uint64_t delta) {
    constexpr std::uint32_t kMaxVarLen = 0x0FFFFFFF;
    while (delta > kMaxVarLen) {
        AppendVarLen(out, kMaxVarLen);
        out.insert(out.end(), {0xFF, 0x01, 0x00});
        delta -= kMaxVarLen;
    }
    AppendVarLen(out, static_cast<std::uint32_t>(delta));
}

bool IsSystemCommon(std::uint8_t status) {
    return status >= 0xF1 && status <= 0xFD;
}

// One track's events, rewritten; false when the track cannot be walked.
bool CleanTrack(std::span<const std::uint8_t> track, std::vector<std::uint8_t>& out,
                bool& removed) {
    MidiEventReader events(track);
    MidiEvent event;
    std::uint64_t carried = 0; // delta time of dropped events, owed to the next one kept
    for (;;) {
        const auto step = events.Next(event);
        if (step == MidiEventReader::Step::kBroken) {
            return false;
        }
        if (step == MidiEventReader::Step::kEnd) {
            break;
        }
        carried += event.delta;
        if (IsSystemCommon(event.status)) {
            removed = true;
            continue;
        }
        PutDelta(out, carried);
        carried = 0;
        if (!event.statusWritten) {
            out.push_back(event.status); // running status spelled out
        }
        const auto bytes = track.subspan(event.start, event.end - event.start);
        out.insert(out.end(), bytes.begin(), bytes.end());
        if (event.IsEndOfTrack()) {
            return true; // what follows is not played
        }
    }
    if (carried > 0) {
        // The track ended on dropped events: an end-of-track event keeps its length.
        PutDelta(out, carried);
        out.insert(out.end(), {0xFF, 0x2F, 0x00});
    }
    return true;
}

} // namespace

std::vector<std::uint8_t> StripSystemCommon(std::span<const std::uint8_t> file) {
    const auto unchanged = [file] { return std::vector<std::uint8_t>(file.begin(), file.end()); };
    ByteCursor in(file);
    const auto header = in.Bytes(8);
    if (header.empty() || std::memcmp(header.data(), "MThd", 4) != 0) {
        return unchanged();
    }
    const auto headerBody = in.Bytes(ByteCursor(header, 4).U32BE());
    if (in.Failed()) {
        return unchanged();
    }
    std::vector<std::uint8_t> out(header.begin(), header.end());
    out.insert(out.end(), headerBody.begin(), headerBody.end());
    bool removed = false;
    MidiChunkReader chunks(in);
    MidiChunk chunk;
    while (chunks.Next(chunk)) {
        out.insert(out.end(), chunk.type.begin(), chunk.type.end());
        std::vector<std::uint8_t> track;
        if (!chunk.Is("MTrk")) {
            // Passed on with the length it claims, though the file may end sooner.
            const auto claimed = chunk.type.data() + 4;
            out.insert(out.end(), claimed, claimed + 4);
            out.insert(out.end(), chunk.body.begin(), chunk.body.end());
            continue;
        }
        if (!CleanTrack(chunk.body, track, removed)) {
            return unchanged();
        }
        std::uint8_t trackLength[4];
        StoreBE32(trackLength, static_cast<std::uint32_t>(track.size()));
        out.insert(out.end(), trackLength, trackLength + 4);
        out.insert(out.end(), track.begin(), track.end());
    }
    return removed ? out : unchanged();
}

} // namespace sv
