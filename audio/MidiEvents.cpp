#include "MidiEvents.h"

#include "io/VarLen.h"

#include <algorithm>
#include <cstring>

namespace sv {

bool MidiChunk::Is(const char* name) const {
    return type.size() == 4 && std::memcmp(type.data(), name, 4) == 0;
}

bool MidiChunkReader::Next(MidiChunk& chunk) {
    if (m_in.Remaining() < 8) {
        return false;
    }
    chunk.type = m_in.Bytes(4);
    const std::uint32_t length = m_in.U32BE();
    chunk.body = m_in.Bytes(std::min<std::size_t>(length, m_in.Remaining()));
    return true;
}

int MidiDataBytes(std::uint8_t status) {
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

MidiEventReader::Step MidiEventReader::Next(MidiEvent& event) {
    if (m_in.Remaining() == 0) {
        return Step::kEnd;
    }
    event = MidiEvent();
    if (!ReadVarLen(m_in, event.delta, 4)) {
        return Step::kBroken;
    }
    event.start = m_in.Position();
    std::uint8_t status = m_in.U8();
    if (m_in.Failed()) {
        return Step::kBroken;
    }
    event.statusWritten = status >= 0x80;
    if (!event.statusWritten) {
        if (m_running == 0) {
            return Step::kBroken;
        }
        status = m_running;
        m_in = ByteCursor(m_track, event.start); // the byte read was the first data byte
    }
    event.status = status;
    if (status == 0xFF || status == 0xF0 || status == 0xF7) {
        if (status == 0xFF) {
            event.metaType = m_in.U8();
        } else {
            m_running = 0;
        }
        std::uint32_t length = 0;
        if (!ReadVarLen(m_in, length, 4)) {
            return Step::kBroken;
        }
        event.payload = m_in.Bytes(length);
    } else {
        m_running = status;
        m_in.Skip(static_cast<std::size_t>(MidiDataBytes(status)));
    }
    if (m_in.Failed()) {
        return Step::kBroken;
    }
    event.end = m_in.Position();
    return Step::kEvent;
}

} // namespace sv
