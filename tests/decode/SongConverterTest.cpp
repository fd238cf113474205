#include "decode/SongConverter.h"

#include "DemoData.h"
#include "ReferenceConverter.h"
#include "SongBuilders.h"
#include "io/VarLen.h"

#include <random>

namespace sv::test {

namespace {

struct Result {
    std::int32_t value;
    Bytes midi;
};

Result ConvertSong(const Bytes& song) {
    SongConverter converter;
    Result r;
    r.value = converter.Convert(song, r.midi);
    return r;
}

// The return value for songs built by HmiSong: the end of the last track.
std::int32_t EndOf(const std::vector<Bytes>& tracks) {
    std::size_t end = kFirstBlock;
    for (const Bytes& t : tracks) {
        end += kEventDistance + t.size();
    }
    return static_cast<std::int32_t>(end);
}

// Running status, ties, slot reuse, sysex and private events are left to the comparison with the
// plain table scan below; these are the deltas it does not draw.
TEST(SongConverter, DeltasOutsideTheRandomTracks) {
    const Bytes cases[][2] = {
        // Shortest form out; a six-byte input delta is read whole.
        {{0x00, 0xB0, 0x01, 0x02, 0x81, 0x00, 0x01, 0x06, 0x80, 0x80, 0x80, 0x80, 0x80, 0x05, 0x01,
          0x07, 0x00, 0xFF, 0x2F, 0x00},
         {0x00, 0xB0, 0x01, 0x02, 0x81, 0x00, 0x01, 0x06, 0x05, 0x01, 0x07}},
        // 0xFFFFFFFE is written in four bytes, bits above 27 dropped.
        {{0x8F, 0xFF, 0xFF, 0xFF, 0x7E, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x2F, 0x00},
         {0xFF, 0xFF, 0xFF, 0x7E, 0xB0, 0x07, 0x10}},
    };
    for (const auto& [hmi, events] : cases) {
        const Result r = ConvertSong(HmiSong({hmi}));
        EXPECT_EQ(r.value, EndOf({hmi}));
        Bytes midi = events;
        midi.insert(midi.end(), kEnd.begin(), kEnd.end());
        EXPECT_EQ(r.midi, Midi({midi}));
    }
    // Zero tracks: the header and the tempo track, ending at the first block.
    const Result r = ConvertSong(HmiSong({kEnd}, 0));
    EXPECT_EQ(r.value, static_cast<std::int32_t>(kFirstBlock));
    EXPECT_EQ(r.midi, Midi({}));
}

TEST(SongConverter, TheTopOfThe32BitClock) {
    // A note due at 0xFFFFFFFF carries the table's free mark: it is never released, and its
    // slot stays free, so 200 of them never fill the table.
    Bytes events;
    Bytes expected = {0x00, 0x90};
    for (int i = 0; i < 200; ++i) {
        events.insert(events.end(), {0x00, 0x90, 0x3C, 0x64, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F});
        expected.insert(expected.end(), {0x3C, 0x64, 0x00});
    }
    events.insert(events.end(), kEnd.begin(), kEnd.end());
    expected.pop_back();
    expected.insert(expected.end(), kEnd.begin(), kEnd.end());
    const Result r = ConvertSong(HmiSong({events}));
    EXPECT_EQ(r.value, EndOf({events}));
    EXPECT_EQ(r.midi, Midi({expected}));
    // A current time of 0xFFFFFFFF would have the table's scan release free slots forever.
    EXPECT_EQ(ConvertSong(HmiSong({{0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x2F, 0x00}})).value, -1);
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
         }) {
        songs.push_back(HmiSong({good, bad}));
    }
    songs.push_back(HmiSong({good}, 2)); // more tracks declared than the data holds
    songs.push_back(HmiSong({good, good}));
    songs.back()[kFirstBlock + kEventDistance + good.size() + 12] = 'X'; // not the track tag
    for (const Bytes& song : songs) {
        const Result r = ConvertSong(song);
        EXPECT_EQ(r.value, -1);
        EXPECT_EQ(r.midi, Midi({good}, false));
    }
    // The byte after FF 2F is not examined and need not even be there.
    Bytes last = {0x00, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x2F, 0x55};
    EXPECT_EQ(ConvertSong(HmiSong({good, last})).midi, Midi({good, good}));
    last.pop_back();
    EXPECT_EQ(ConvertSong(HmiSong({good, last})).value, EndOf({good, good}));

    // No usable first block: nothing is written.
    Bytes noTag = HmiSong({kEnd});
    noTag[kFirstBlock + 8] = 'X'; // "HMI-MIDIXRACK"
    // "TRAC" fewer than 8 bytes from the start, and a song too short for its track count.
    for (const Bytes& s :
         {noTag, Bytes{}, Bytes{'x', 'T', 'R', 'A', 'C', 0, 0, 0, 0, 0, 0, 0},
          Bytes{'H', 'M', 'I', '-', 'M', 'I', 'D', 'I', 'T', 'R', 'A', 'C', 'K'}}) {
        const Result r = ConvertSong(s);
        EXPECT_EQ(r.value, -1);
        EXPECT_TRUE(r.midi.empty());
    }
}

TEST(SongConverter, WorkAreaLimitsFailCleanly) {
    // 128 notes sounding at once fit the table; a 129th does not.
    for (const int notes : {128, 129}) {
        Bytes events;
        for (int i = 0; i < notes; ++i) {
            events.insert(events.end(),
                          {0x00, 0x90, static_cast<std::uint8_t>(i & 0x7F), 0x40, 0x10});
        }
        events.insert(events.end(), kEnd.begin(), kEnd.end());
        EXPECT_EQ(ConvertSong(HmiSong({events})).value, notes == 128 ? EndOf({events}) : -1);
    }
    // Notes of duration 0 under running status: 4 input bytes give 6 output bytes, so 180,000 of
    // them overflow the 1 MiB track buffer while 170,000 fit.
    for (const int notes : {170000, 180000}) {
        Bytes events = {0x00, 0x90, 0x3C, 0x40, 0x00};
        for (int i = 1; i < notes; ++i) {
            events.insert(events.end(), {0x00, 0x3C, 0x40, 0x00});
        }
        events.insert(events.end(), kEnd.begin(), kEnd.end());
        const Result r = ConvertSong(HmiSong({events}));
        if (notes == 170000) {
            EXPECT_EQ(r.value, EndOf({events}));
            EXPECT_EQ(r.midi.size(), 33u + 8u + 6u * notes + 1u + 4u);
        } else {
            EXPECT_EQ(r.value, -1);
            EXPECT_EQ(r.midi, Midi({}, false));
        }
    }
    // Only the first 1 MiB is read: a song one byte longer, whose unexamined last byte is cut
    // off, converts; two bytes longer, its 2F lies beyond what is read.
    for (const std::size_t extra : {1u, 2u}) {
        const std::size_t total = SongConverter::kInputCapacity + extra;
        Bytes events(total - kFirstBlock - kEventDistance - kEnd.size(), 0x01);
        events[0] = 0x00;
        events[1] = 0xF0;
        events.back() = 0xF7;
        events.insert(events.end(), kEnd.begin(), kEnd.end());
        EXPECT_EQ(ConvertSong(HmiSong({events})).value,
                  extra == 1 ? static_cast<std::int32_t>(total) : -1);
    }
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
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::vector<Bytes> hmi;
        std::vector<Bytes> midi;
        for (int t = static_cast<int>(random() % 4); t >= 0; --t) {
            hmi.push_back(RandomTrack(random));
            midi.push_back(ReferenceTrack(hmi.back()));
        }
        const Result r = ConvertSong(HmiSong(hmi));
        ASSERT_EQ(r.value, EndOf(hmi)) << "round " << round;
        ASSERT_EQ(r.midi, Midi(midi)) << "round " << round;
    }
    for (const bool full : {false, true}) {
        for (std::size_t i = 0; i < demo::SongNames(full).size(); ++i) {
            const Bytes song = demo::MakeSong(static_cast<int>(i), full);
            const Result r = ConvertSong(song);
            ASSERT_GT(r.value, 0) << i;
            ASSERT_EQ(r.midi, ReferenceSong(song)) << "demo song " << i << (full ? " (full)" : "");
        }
    }
}

} // namespace

} // namespace sv::test
