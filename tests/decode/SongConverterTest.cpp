// The converter held against the plain table scan on random songs, the demo songs and the tracks
// random ones never draw (delta extremes, the top of the 32-bit clock, full work areas), and every
// way a song fails; the demo folder the window and command-line tests read, the same bytes on
// every run, platform and compiler.
#include "decode/SongConverter.h"

#include "DemoData.h"
#include "SongBuilders.h"
#include "io/VarLen.h"

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <string_view>

namespace sv::test {
namespace {

// The conversion written the plain way, for valid songs only (a table of 128 pending note-offs
// scanned for every release): one track's events; `consumed` receives the stream's length up to
// and including its FF 2F xx.
Bytes ReferenceTrack(const Bytes& s, std::size_t& consumed) {
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
    consumed = p + 3;
    return out;
}

// A valid song's MIDI file: the tracks found from the first "TRAC", as many as declared.
Bytes ReferenceSong(const Bytes& song) {
    const std::string_view trac = "TRAC";
    std::size_t block = static_cast<std::size_t>(
        std::search(song.begin(), song.end(), trac.begin(), trac.end()) - song.begin() - 8);
    std::vector<Bytes> tracks(song[228] | song[229] << 8 | song[230] << 16 | song[231] << 24);
    for (Bytes& track : tracks) {
        const std::size_t events = block + song[block + 87];
        std::size_t consumed = 0;
        track = ReferenceTrack(
            Bytes(song.begin() + static_cast<std::ptrdiff_t>(events), song.end()), consumed);
        block = events + consumed;
    }
    return Midi(tracks);
}

std::int32_t Convert(const Bytes& song, Bytes& midi) {
    SongConverter converter;
    return converter.Convert(song, midi);
}

// The return value for songs built by HmiSong: the end of the last track.
std::int32_t EndOf(const std::vector<Bytes>& tracks) {
    std::size_t end = kFirstBlock;
    for (const Bytes& t : tracks) {
        end += kEventDistance + t.size();
    }
    return static_cast<std::int32_t>(end);
}

// n events made by `event`, then the end of track.
Bytes Events(int n, const std::function<Bytes(int)>& event) {
    Bytes b;
    for (int i = 0; i < n; ++i) {
        const Bytes e = event(i);
        b.insert(b.end(), e.begin(), e.end());
    }
    b.insert(b.end(), kEnd.begin(), kEnd.end());
    return b;
}

// Zero-length notes under running status: 4 input bytes become 6 output bytes.
Bytes ShortNotes(int n) {
    return Events(n, [](int i) {
        return i == 0 ? Bytes{0x00, 0x90, 0x3C, 0x40, 0x00} : Bytes{0x00, 0x3C, 0x40, 0x00};
    });
}

// Notes sounding at once, each in its own slot of the 128-entry table.
Bytes HeldNotes(int n) {
    return Events(n, [](int i) {
        return Bytes{0x00, 0x90, static_cast<std::uint8_t>(i), 0x40, 0x10};
    });
}

// One sysex event filling a track of `size` bytes.
Bytes SysExTrack(std::size_t size) {
    Bytes b(size - kEnd.size(), 0x01);
    b[0] = 0x00;
    b[1] = 0xF0;
    b.back() = 0xF7;
    b.insert(b.end(), kEnd.begin(), kEnd.end());
    return b;
}

// Random tracks of many ties, slot reuse, running status, sysex and private events.
Bytes RandomTrack(std::mt19937& random) {
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::uint8_t kinds[] = {0x90, 0x90, 0x90, 0xB0, 0xC0, 0xD0, 0xE0, 0xF3};
    const std::uint32_t deltas[] = {0, 0, 1, 5, 10, 127, 128, 0x4000};
    const std::uint32_t durations[] = {0, 5, 10, 20, 200, 0x4000};
    const Bytes privates[] = {{0xFE, 0x10, 1, 2, 3, 4, 5, 6, 7, 1, 2, 3},
                              {0xFE, 0x14, 1, 2},
                              {0xFE, 0x15, 1, 2, 3, 4, 5, 6}};
    Bytes t;
    std::uint8_t inStatus = 0;
    for (int e = pick(120); e >= 0; --e) {
        AppendVarLen(t, deltas[pick(8)]);
        const int what = pick(20);
        if (what < 2) {
            const Bytes sysex = {0xF0, static_cast<std::uint8_t>(pick(128)), 0xF7};
            const Bytes& event = what == 0 ? sysex : privates[pick(3)];
            t.insert(t.end(), event.begin(), event.end());
            continue;
        }
        if (inStatus == 0 || pick(2) == 0) {
            const std::uint8_t kind = kinds[pick(8)];
            inStatus = kind == 0xF3 ? kind : static_cast<std::uint8_t>(kind | pick(3));
            t.push_back(inStatus);
        }
        t.push_back(static_cast<std::uint8_t>(0x3C + pick(4)));
        if ((inStatus >> 4) != 0xC && (inStatus >> 4) != 0xD) {
            t.push_back(static_cast<std::uint8_t>(pick(128)));
        }
        if ((inStatus >> 4) == 0x9) {
            AppendVarLen(t, durations[pick(6)]);
        }
    }
    AppendVarLen(t, static_cast<std::uint32_t>(pick(40)));
    t.insert(t.end(), {0xFF, 0x2F, 0x00});
    return t;
}

TEST(SongConverter, MatchesThePlainTableScan) {
    std::vector<std::vector<Bytes>> songs = {
        // A six-byte input delta; 0xFFFFFFFE written in four bytes, bits above 27 dropped.
        {{0x00, 0xB0, 0x01, 0x02, 0x81, 0x00, 0x01, 0x06, 0x80, 0x80,
          0x80, 0x80, 0x80, 0x05, 0x01, 0x07, 0x00, 0xFF, 0x2F, 0x00},
         {0x8F, 0xFF, 0xFF, 0xFF, 0x7E, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x2F, 0x55}},
        // Notes due at 0xFFFFFFFF carry the table's free mark: never released, their slot stays
        // free, so 200 of them never fill the table.
        {Events(200,
                [](int) { return Bytes{0x00, 0x90, 0x3C, 0x64, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}; })},
        {HeldNotes(128)},
        {ShortNotes(170000)}, // most of the 1 MiB track buffer
        // Only the first 1 MiB is read; the end event's last byte, beyond it, is not examined.
        {SysExTrack(SongConverter::kInputCapacity + 1 - kFirstBlock - kEventDistance)},
    };
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        songs.emplace_back(1 + random() % 4);
        for (Bytes& track : songs.back()) {
            track = RandomTrack(random);
        }
    }
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const Bytes song = HmiSong(songs[i]);
        Bytes out;
        ASSERT_EQ(Convert(song, out), EndOf(songs[i])) << "song " << i;
        ASSERT_EQ(out, ReferenceSong(song)) << "song " << i;
    }
    for (const bool full : {false, true}) {
        for (std::size_t i = 0; i < demo::SongNames(full).size(); ++i) {
            const Bytes song = demo::MakeSong(static_cast<int>(i), full);
            Bytes out;
            ASSERT_GT(Convert(song, out), 0) << i;
            ASSERT_EQ(out, ReferenceSong(song)) << "demo song " << i << (full ? " (full)" : "");
        }
    }
    // Zero tracks: the header and the tempo track, ending at the first block. A last track may
    // stop right after FF 2F.
    Bytes out;
    EXPECT_EQ(Convert(HmiSong({kEnd}, 0), out), static_cast<std::int32_t>(kFirstBlock));
    EXPECT_EQ(out, Midi({}));
    const Bytes cut = {0x00, 0xFF, 0x2F};
    EXPECT_EQ(Convert(HmiSong({kEnd, cut}), out), EndOf({kEnd, kEnd}));
}

TEST(SongConverter, FailuresKeepTheTracksDoneBefore) {
    const Bytes good = {0x00, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x2F, 0x00};
    std::vector<Bytes> songs;
    for (const Bytes& bad : std::vector<Bytes>{
             {0x00, 0xFE, 0x11, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00},       // unknown private event
             {0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00}, // meta other than end
             {0x00, 0xF0, 0x01, 0x02},                                     // sysex without F7
             {0x00, 0xB0, 0x07, 0x10},                                     // no end of track
             {0x00, 0xB0, 0x07},                                           // event cut short
             {0x00, 0x90, 0x3C, 0x64, 0x81},                               // duration cut short
             {0x00, 0xFF},                                                 // end cut short
             // A current time of 0xFFFFFFFF would have the scan release free slots forever.
             {0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00},
             HeldNotes(129),     // one more than the table holds
             ShortNotes(180000), // overflows the 1 MiB track buffer
             // Its end event's 2F lies beyond the first 1 MiB.
             SysExTrack(SongConverter::kInputCapacity + 2 - kFirstBlock - 2 * kEventDistance -
                        good.size()),
         }) {
        songs.push_back(HmiSong({good, bad}));
    }
    songs.push_back(HmiSong({good}, 2)); // more tracks declared than the data holds
    songs.push_back(HmiSong({good, good}));
    songs.back()[kFirstBlock + kEventDistance + good.size() + 12] = 'X'; // not the track tag
    for (std::size_t i = 0; i < songs.size(); ++i) {
        Bytes out;
        EXPECT_EQ(Convert(songs[i], out), -1) << i;
        EXPECT_EQ(out, Midi({good}, false)) << i;
    }

    // No usable first block: nothing is written.
    Bytes noTag = HmiSong({kEnd});
    noTag[kFirstBlock + 8] = 'X'; // "HMI-MIDIXRACK"
    // "TRAC" fewer than 8 bytes from the start, and a song too short for its track count.
    for (const Bytes& s :
         {noTag, Bytes{}, Bytes{'x', 'T', 'R', 'A', 'C', 0, 0, 0, 0, 0, 0, 0},
          Bytes{'H', 'M', 'I', '-', 'M', 'I', 'D', 'I', 'T', 'R', 'A', 'C', 'K'}}) {
        Bytes out;
        EXPECT_EQ(Convert(s, out), -1);
        EXPECT_TRUE(out.empty());
    }
}

TEST(DemoData, GenerationIsDeterministic) {
    ScratchDir dir;
    ASSERT_TRUE(demo::WriteDemoFolder(dir.File("one"), {}));
    // A deliberate change to the generator changes these; any other difference means a platform
    // or compiler writes other bytes.
    const std::pair<const char*, std::uint64_t> files[] = {{"MIDI.BSA", 0x913795056A84B128ull},
                                                           {"WYVERN.SND", 0x27AE646836916883ull}};
    for (const auto& [file, hash] : files) {
        std::uint64_t fnv1a = 0xCBF29CE484222325ull;
        for (const std::uint8_t b : ReadFile(sv::JoinPath(dir.File("one"), file))) {
            fnv1a = (fnv1a ^ b) * 0x100000001B3ull;
        }
        EXPECT_EQ(fnv1a, hash) << file;
    }
    WriteFile(dir.File("file"), {1}); // a folder that cannot be made is reported
    EXPECT_FALSE(demo::WriteDemoFolder(sv::JoinPath(dir.File("file"), "Arena2"), {}));
}

} // namespace
} // namespace sv::test
