#include "decode/SongConverter.h"

#include "DemoData.h"
#include "ReferenceConverter.h"
#include "SongBuilders.h"

#include <array>
#include <cstdio>
#include <random>

using namespace songs_test;
using testing_support::Bytes;

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

void ExpectConverts(const std::vector<Bytes>& hmi, const std::vector<Bytes>& midi) {
    const Result r = ConvertSong(HmiSong(hmi));
    EXPECT_EQ(r.value, EndOf(hmi));
    EXPECT_EQ(r.midi, Midi(midi));
}

TEST(SongConverter, ZeroTrackSongIsHeaderAndTempoTrack) {
    const Bytes song = HmiSong({{0x00, 0xFF, 0x2F, 0x00}}, 0);
    const Result r = ConvertSong(song);
    EXPECT_EQ(r.value, static_cast<std::int32_t>(kFirstBlock));
    ASSERT_EQ(r.midi.size(), 33u);
    EXPECT_EQ(r.midi, Midi({}));
}

TEST(SongConverter, NoteOffsShareRunningStatusAndEndOfTrackDropsItsDelta) {
    // Note-on with duration 16, the HMI end of track 32 ticks later.
    ExpectConverts({{0x00, 0x90, 0x3C, 0x64, 0x10, 0x20, 0xFF, 0x2F, 0x00}},
                   {{0x00, 0x90, 0x3C, 0x64, 0x10, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}});
    // A note-off on another channel writes its status; the note-on after it writes its own.
    ExpectConverts({{0x00, 0x91, 0x3C, 0x64, 0x05, 0x00, 0x90, 0x40, 0x64, 0x10, 0x08, 0x91, 0x41,
                     0x64, 0x00, 0x10, 0xFF, 0x2F, 0x00}},
                   {Cat({{0x00, 0x91, 0x3C, 0x64, 0x00, 0x90, 0x40, 0x64, 0x05, 0x91, 0x3C, 0x00},
                         {0x03, 0x41, 0x64, 0x00, 0x41, 0x00, 0x08, 0x90, 0x40, 0x00},
                         kEnd})});
}

TEST(SongConverter, NoteOffsDueByAnEventComeBeforeIt) {
    // Duration 0: the note-off follows at delta 0. Duration 5 with the next event 5 ticks on:
    // the note-off is written first.
    ExpectConverts(
        {{0x00, 0x90, 0x3C, 0x64, 0x00, 0x00, 0x90, 0x3E, 0x64, 0x05, 0x05, 0xB0, 0x07, 0x50, 0x00,
          0xFF, 0x2F, 0x00}},
        {Cat({{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C, 0x00, 0x00, 0x3E, 0x64, 0x05, 0x3E, 0x00},
              {0x00, 0xB0, 0x07, 0x50},
              kEnd})});
}

TEST(SongConverter, EveryNoteOnCarriesADurationEvenAtVelocityZero) {
    ExpectConverts({{0x00, 0x90, 0x3C, 0x00, 0x05, 0x10, 0xFF, 0x2F, 0x00}},
                   {{0x00, 0x90, 0x3C, 0x00, 0x05, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}});
}

TEST(SongConverter, TiesLeaveInTableSlotOrderAfterASlotWasReused) {
    // t0: A (slot 0) ends at 10, B (slot 1) at 50. t20: A has left slot 0, so C takes it and
    // also ends at 50: C (slot 0) is released before B (slot 1), although B came first.
    ExpectConverts({{0x00, 0x90, 0x40, 0x64, 0x0A, 0x00, 0x90, 0x41, 0x64, 0x32, 0x14, 0x42, 0x64,
                     0x1E, 0x40, 0xFF, 0x2F, 0x00}},
                   {Cat({{0x00, 0x90, 0x40, 0x64, 0x00, 0x41, 0x64, 0x0A, 0x40, 0x00},
                         {0x0A, 0x42, 0x64, 0x1E, 0x42, 0x00, 0x00, 0x41, 0x00},
                         kEnd})});
}

TEST(SongConverter, RunningStatusInAndOut) {
    // A data byte in status position reuses the last status read, a 9n one with its duration;
    // Cn and Dn take one data byte; F1..FD take two and become the running status.
    ExpectConverts(
        {{0x00, 0x90, 0x3C, 0x64, 0x00, 0x00, 0x3E, 0x64, 0x00, 0x00, 0xD0, 0x40, 0x00, 0x41,
          0x00, 0xC2, 0x05, 0x00, 0xF3, 0x01, 0x02, 0x00, 0x03, 0x04, 0x00, 0xFF, 0x2F, 0x00}},
        {Cat({{0x00, 0x90, 0x3C, 0x64, 0x00, 0x3C, 0x00, 0x00, 0x3E, 0x64, 0x00, 0x3E, 0x00},
              {0x00, 0xD0, 0x40, 0x00, 0x41, 0x00, 0xC2, 0x05, 0x00, 0xF3, 0x01, 0x02, 0x00, 0x03,
               0x04},
              kEnd})});
}

TEST(SongConverter, SysExResetsOutputStatusButNotInputStatus) {
    // After the sysex, the running-status data byte still means C0, and C0 is written again.
    // A note-off after a sysex writes its status too.
    ExpectConverts({{0x00, 0xC0, 0x05, 0x00, 0xF0, 0x7E, 0x7F, 0xF7, 0x00, 0x07, 0x00, 0x90,
                     0x3C, 0x64, 0x0A, 0x05, 0xF0, 0x01, 0xF7, 0x10, 0xFF, 0x2F, 0x00}},
                   {Cat({{0x00, 0xC0, 0x05, 0x00, 0xF0, 0x7E, 0x7F, 0xF7, 0x00, 0xC0, 0x07},
                         {0x00, 0x90, 0x3C, 0x64, 0x05, 0xF0, 0x01, 0xF7, 0x05, 0x90, 0x3C, 0x00},
                         kEnd})});
}

TEST(SongConverter, PrivateEventsAreDroppedAndTheirDeltasCarried) {
    // FE 14 (4 bytes), FE 15 (8 bytes), FE 10 with 2 at offset 4 (9 + 2 bytes): 0x10 + 0x20 +
    // 0x05 + 0x07 ticks before the controller. The private events leave the input status alone.
    ExpectConverts({{0x00, 0xB0, 0x07, 0x10, 0x10, 0xFE, 0x14, 0xAA, 0xBB, 0x20, 0xFE, 0x15, 0x90,
                     0x91, 0x92, 0x93, 0x94, 0x95, 0x05, 0xFE, 0x10, 0xFF, 0xFF, 0x02, 0xF0, 0xF7,
                     0xFF, 0xFF, 0x80, 0x81, 0x07, 0x0A, 0x20, 0x00, 0xFF, 0x2F, 0x00}},
                   {{0x00, 0xB0, 0x07, 0x10, 0x3C, 0x0A, 0x20, 0x00, 0xFF, 0x2F, 0x00}});
}

TEST(SongConverter, DeltaTimesInShortestForm) {
    // 0 -> 00, 127 -> 7F, 128 -> 81 00, 0x3FFF -> FF 7F, 0x4000 -> 81 80 00; an input delta of
    // six bytes is read whole.
    ExpectConverts(
        {{0x00, 0xB0, 0x01, 0x02, 0x7F, 0x01, 0x03, 0x81, 0x00, 0x01, 0x04,
          0xFF, 0x7F, 0x01, 0x05, 0x81, 0x80, 0x00, 0x01, 0x06, 0x80, 0x80,
          0x80, 0x80, 0x80, 0x05, 0x01, 0x07, 0x00, 0xFF, 0x2F, 0x00}},
        {{0x00, 0xB0, 0x01, 0x02, 0x7F, 0x01, 0x03, 0x81, 0x00, 0x01, 0x04, 0xFF, 0x7F, 0x01,
          0x05, 0x81, 0x80, 0x00, 0x01, 0x06, 0x05, 0x01, 0x07, 0x00, 0xFF, 0x2F, 0x00}});
}

TEST(SongConverter, VarLenWriting) {
    const std::vector<std::pair<std::uint32_t, Bytes>> cases = {
        {0, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0x81, 0x00}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}},
        {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
        {0x200000, {0x81, 0x80, 0x80, 0x00}},
        {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0x10000000, {0x80, 0x80, 0x80, 0x00}}, // bits above 27 are dropped, still four bytes
        {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& [value, expected] : cases) {
        std::uint8_t out[8] = {};
        const std::size_t n = SongConverter::WriteVarLen(out, value);
        EXPECT_EQ(Bytes(out, out + n), expected) << std::hex << value;
    }
}

TEST(SongConverter, VarLenReadingHasNoLengthLimit) {
    const Bytes data = {0x80, 0x80, 0x80, 0x80, 0x81, 0x00, 0xFF,
                        0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x80};
    std::size_t pos = 0;
    std::uint32_t v = 0;
    ASSERT_TRUE(SongConverter::ReadVarLen(data, pos, v));
    EXPECT_EQ(v, 0x80u);
    EXPECT_EQ(pos, 6u);
    ASSERT_TRUE(SongConverter::ReadVarLen(data, pos, v));
    EXPECT_EQ(v, 0xFFFFFFFFu); // groups shifted out of 32 bits are lost
    EXPECT_EQ(pos, 12u);
    EXPECT_FALSE(SongConverter::ReadVarLen(data, pos, v)); // ends inside the quantity
    EXPECT_EQ(pos, 12u);
}

TEST(SongConverter, FailuresKeepTheTracksDoneBefore) {
    const Bytes good = {0x00, 0xB0, 0x07, 0x10, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes goodMidi = good;
    const std::vector<Bytes> bad = {
        {0x00, 0xFE, 0x11, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00},       // unknown private event
        {0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00, 0xFF, 0x2F, 0x00}, // meta other than end
        {0x00, 0xF0, 0x01, 0x02},                                     // sysex without F7
        {0x00, 0xB0, 0x07, 0x10},                                     // no end of track
        {0x00, 0xB0, 0x07},                                           // event cut short
        {0x00, 0x90, 0x3C, 0x64, 0x81},                               // duration cut short
        {0x00, 0xFF},                                                 // end of track cut short
    };
    for (const Bytes& b : bad) {
        const Result r = ConvertSong(HmiSong({good, b}));
        EXPECT_EQ(r.value, -1);
        EXPECT_EQ(r.midi, PartialMidi({goodMidi}));
    }
    // More tracks declared than the data holds.
    Result r = ConvertSong(HmiSong({good}, 2));
    EXPECT_EQ(r.value, -1);
    EXPECT_EQ(r.midi, PartialMidi({goodMidi}));
    // A block whose tag is not the track tag.
    Bytes song = HmiSong({good, good});
    song[kFirstBlock + kEventDistance + good.size() + 12] = 'X';
    r = ConvertSong(song);
    EXPECT_EQ(r.value, -1);
    EXPECT_EQ(r.midi, PartialMidi({goodMidi}));
    // The byte after FF 2F is not examined and need not even be there.
    Bytes last = good;
    last.back() = 0x55;
    EXPECT_EQ(ConvertSong(HmiSong({good, last})).midi, Midi({goodMidi, goodMidi}));
    last.pop_back();
    EXPECT_EQ(ConvertSong(HmiSong({good, last})).value, EndOf({good, good}));
}

TEST(SongConverter, NoUsableTrackBlockWritesNothing) {
    Bytes noTag = HmiSong({{0x00, 0xFF, 0x2F, 0x00}});
    noTag[kFirstBlock + 8] = 'X'; // "HMI-MIDIXRACK"
    // "TRAC" fewer than 8 bytes from the start, and a song too short for its track count.
    const std::vector<Bytes> songs = {
        noTag,
        {},
        {'x', 'T', 'R', 'A', 'C', 0, 0, 0, 0, 0, 0, 0},
        {'H', 'M', 'I', '-', 'M', 'I', 'D', 'I', 'T', 'R', 'A', 'C', 'K'}};
    for (const Bytes& s : songs) {
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
            EXPECT_EQ(r.midi, PartialMidi({}));
        }
    }
}

TEST(SongConverter, OnlyTheFirstMebibyteIsRead) {
    // A song of 1 MiB + 1 bytes whose unexamined last byte is cut off converts; one byte longer,
    // its 2F lies beyond what is read.
    for (const std::size_t extra : {1u, 2u}) {
        const std::size_t total = SongConverter::kInputCapacity + extra;
        Bytes events = {0x00};
        events.resize(total - kFirstBlock - kEventDistance - kEnd.size(), 0x01);
        events[1] = 0xF0;
        events.back() = 0xF7;
        events.insert(events.end(), kEnd.begin(), kEnd.end());
        const Bytes song = HmiSong({events});
        ASSERT_EQ(song.size(), total);
        EXPECT_EQ(ConvertSong(song).value, extra == 1 ? static_cast<std::int32_t>(total) : -1);
    }
}

void PutVarLen(Bytes& b, std::uint32_t v) {
    std::uint8_t tmp[4];
    b.insert(b.end(), tmp, tmp + SongConverter::WriteVarLen(tmp, v));
}

// Random tracks of many ties, slot reuse, running status, sysex and private events.
Bytes RandomTrack(std::mt19937& random) {
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::uint8_t kinds[] = {0x90, 0x90, 0x90, 0xB0, 0xC0, 0xD0, 0xE0, 0xF3};
    Bytes t;
    std::uint8_t inStatus = 0;
    const int events = 1 + pick(120);
    for (int e = 0; e < events; ++e) {
        const std::uint32_t deltas[] = {0, 0, 1, 5, 10, 127, 128, 0x4000};
        PutVarLen(t, deltas[pick(8)]);
        const int what = pick(20);
        if (what == 0) {
            t.insert(t.end(), {0xF0, static_cast<std::uint8_t>(pick(128)), 0xF7});
            continue;
        }
        if (what == 1) {
            const int size = pick(3);
            if (size == 0) {
                t.insert(t.end(), {0xFE, 0x10, 1, 2, 3, 4, 5, 6, 7, 1, 2, 3});
            } else if (size == 1) {
                t.insert(t.end(), {0xFE, 0x14, 1, 2});
            } else {
                t.insert(t.end(), {0xFE, 0x15, 1, 2, 3, 4, 5, 6});
            }
            continue;
        }
        std::uint8_t st = inStatus;
        if (inStatus == 0 || pick(2) == 0) {
            const std::uint8_t kind = kinds[pick(8)];
            st = kind == 0xF3 ? kind : static_cast<std::uint8_t>(kind | pick(3));
            t.push_back(st);
            inStatus = st;
        }
        t.push_back(static_cast<std::uint8_t>(0x3C + pick(4)));
        if ((st >> 4) != 0xC && (st >> 4) != 0xD) {
            t.push_back(static_cast<std::uint8_t>(pick(128)));
        }
        if ((st >> 4) == 0x9) {
            const std::uint32_t durations[] = {0, 5, 10, 20, 200, 0x4000};
            PutVarLen(t, durations[pick(6)]);
        }
    }
    PutVarLen(t, static_cast<std::uint32_t>(pick(40)));
    t.insert(t.end(), {0xFF, 0x2F, 0x00});
    return t;
}

TEST(SongConverter, MatchesThePlainTableScanOnRandomSongs) {
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
}

TEST(SongConverter, FilesHoldWhatMemoryHolds) {
    const Bytes good = {0x00, 0x90, 0x3C, 0x64, 0x10, 0x20, 0xFF, 0x2F, 0x00};
    for (const Bytes& song : {HmiSong({good, good}), HmiSong({good, {0x00, 0xFE, 0x01}})}) {
        sv::FilePtr in(std::tmpfile());
        sv::FilePtr out(std::tmpfile());
        ASSERT_TRUE(in && out);
        std::fwrite(song.data(), 1, song.size(), in.get());
        SongConverter converter;
        const std::int32_t value = converter.Convert(in.get(), out.get());
        std::fflush(out.get());
        Bytes written(static_cast<std::size_t>(sv::FileLength(out.get())));
        std::rewind(out.get());
        ASSERT_EQ(std::fread(written.data(), 1, written.size(), out.get()), written.size());
        const Result r = ConvertSong(song);
        EXPECT_EQ(value, r.value);
        EXPECT_EQ(written, r.midi);
    }
}

} // namespace

namespace {

TEST(SongConverter, DemoSongsMatchThePlainTableScan) {
    for (const bool full : {false, true}) {
        const std::size_t count = demo::SongNames(full).size();
        for (std::size_t i = 0; i < count; ++i) {
            const Bytes song = demo::MakeSong(static_cast<int>(i), full);
            const Result r = ConvertSong(song);
            ASSERT_GT(r.value, 0) << i;
            ASSERT_EQ(r.midi, ReferenceSong(song)) << "song " << i << (full ? " (full)" : "");
        }
    }
}

} // namespace
