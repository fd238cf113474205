// The conversion written the plain way, for valid songs only: a table of 128 pending note-offs
// scanned for every release. The tests hold the converter's output against it.
#pragma once

#include "SongBuilders.h"
#include "decode/SongConverter.h"
#include "io/VarLen.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace sv::test {

// One track's events; `consumed` receives the stream's length up to and including its FF 2F xx.
inline Bytes ReferenceTrack(const Bytes& s, std::size_t* consumed = nullptr) {
    struct Entry {
        std::uint32_t due = 0xFFFFFFFF;
        std::uint8_t channel = 0, note = 0;
    };
    std::array<Entry, 128> table{};
    Bytes out;
    std::size_t p = 0;
    std::uint32_t last = 0;
    std::uint8_t outStatus = 0, inStatus = 0;
    const auto varlen = [&] {
        std::uint32_t v = 0;
        do {
            v = v << 7 | (s[p] & 0x7Fu);
        } while (s[p++] & 0x80);
        return v;
    };
    // A delta to `time`, then the status unless it runs on.
    const auto head = [&](std::uint32_t time, std::uint8_t st) {
        std::uint8_t tmp[4];
        out.insert(out.end(), tmp, tmp + WriteVarLen(tmp, time - last));
        last = time;
        if (st != 0 && st != outStatus) {
            out.push_back(outStatus = st);
        }
    };
    const auto flush = [&](std::uint32_t limit) {
        for (;;) {
            const auto best = std::min_element(table.begin(), table.end(), [](auto& a, auto& b) {
                return a.due < b.due;
            }); // the first of equals
            if (best->due > limit) {
                return;
            }
            head(best->due, static_cast<std::uint8_t>(0x90 | best->channel));
            out.insert(out.end(), {best->note, 0x00});
            best->due = 0xFFFFFFFF;
        }
    };
    std::uint32_t now = varlen();
    flush(now);
    while (s[p] != 0xFF) {
        if (s[p] == 0xF0) {
            head(now, 0);
            do {
                out.push_back(s[p]);
            } while (s[p++] != 0xF7);
            outStatus = 0;
        } else if (s[p] == 0xFE) {
            p += s[p + 1] == 0x10 ? 9 + s[p + 4] : s[p + 1] == 0x14 ? 4 : 8;
        } else {
            inStatus = s[p] >= 0x80 ? s[p++] : inStatus;
            head(now, inStatus);
            const std::uint8_t note = s[p];
            const bool oneByte = (inStatus >> 4) == 0xC || (inStatus >> 4) == 0xD;
            out.insert(out.end(), s.begin() + p, s.begin() + p + (oneByte ? 1 : 2));
            p += oneByte ? 1 : 2;
            if ((inStatus >> 4) == 0x9) {
                const std::uint32_t due = now + varlen();
                *std::find_if(table.begin(), table.end(), [](auto& e) {
                    return e.due == 0xFFFFFFFF;
                }) = {due, static_cast<std::uint8_t>(inStatus & 0x0F), note};
            }
        }
        now += varlen();
        flush(now);
    }
    flush(0xFFFFFFFE);
    out.insert(out.end(), kEnd.begin(), kEnd.end());
    if (consumed != nullptr) {
        *consumed = p + 3;
    }
    return out;
}

// A valid song's MIDI file: the tracks found from the first "TRAC", as many as declared.
inline Bytes ReferenceSong(const Bytes& song) {
    const std::string_view trac = "TRAC";
    std::size_t block = static_cast<std::size_t>(
        std::search(song.begin(), song.end(), trac.begin(), trac.end()) - song.begin() - 8);
    std::vector<Bytes> tracks(song[228] | song[229] << 8 | song[230] << 16 | song[231] << 24);
    for (Bytes& track : tracks) {
        const std::size_t events = block + song[block + 87];
        std::size_t consumed = 0;
        track = ReferenceTrack(
            Bytes(song.begin() + static_cast<std::ptrdiff_t>(events), song.end()), &consumed);
        block = events + consumed;
    }
    return Midi(tracks);
}

} // namespace sv::test
