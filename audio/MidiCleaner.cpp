#include "MidiCleaner.h"

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

int DataBytes(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2; // system common ones count as two
}

// One track's events, rewritten; false when the track cannot be walked.
bool CleanTrack(std::span<const std::uint8_t> track, std::vector<std::uint8_t>& out,
                bool& removed) {
    ByteCursor in(track);
    std::uint64_t carried = 0; // delta time of dropped events, owed to the next one kept
    std::uint8_t running = 0;
    while (in.Remaining() > 0) {
        std::uint32_t delta = 0;
        if (!ReadVarLen(in, delta, 4)) {
            return false;
        }
        carried += delta;
        const std::size_t start = in.Position();
        std::uint8_t status = in.U8();
        std::size_t dataStart = in.Position();
        if (status < 0x80) {
            if (running == 0) {
                return false;
            }
            status = running;
            dataStart = start;
        }
        bool endOfTrack = false;
        if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            if (status == 0xFF) {
                endOfTrack = in.U8() == 0x2F;
            }
            std::uint32_t length = 0;
            if (!ReadVarLen(in, length, 4) || !in.Skip(length)) {
                return false;
            }
            running = status == 0xFF ? running : 0;
        } else {
            running = status;
            in = ByteCursor(track, dataStart);
            if (!in.Skip(static_cast<std::size_t>(DataBytes(status)))) {
                return false;
            }
        }
        if (IsSystemCommon(status)) {
            removed = true;
            continue;
        }
        PutDelta(out, carried);
        carried = 0;
        if (dataStart == start) {
            out.push_back(status); // running status spelled out
        }
        const auto event = track.subspan(start, in.Position() - start);
        out.insert(out.end(), event.begin(), event.end());
        if (endOfTrack) {
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
    const std::uint32_t headerLength = ByteCursor(header, 4).U32BE();
    const auto headerBody = in.Bytes(headerLength);
    if (in.Failed()) {
        return unchanged();
    }
    std::vector<std::uint8_t> out(header.begin(), header.end());
    out.insert(out.end(), headerBody.begin(), headerBody.end());
    bool removed = false;
    while (in.Remaining() >= 8) {
        const auto id = in.Bytes(4);
        const auto lengthBytes = in.Bytes(4);
        const std::uint32_t length = ByteCursor(lengthBytes).U32BE();
        const auto body = in.Bytes(std::min<std::size_t>(length, in.Remaining()));
        out.insert(out.end(), id.begin(), id.end());
        if (std::memcmp(id.data(), "MTrk", 4) != 0) {
            out.insert(out.end(), lengthBytes.begin(), lengthBytes.end());
            out.insert(out.end(), body.begin(), body.end());
            continue;
        }
        std::vector<std::uint8_t> track;
        if (!CleanTrack(body, track, removed)) {
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
