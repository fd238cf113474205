// The demo folder: every song is a well-formed HMI file that converts, and the same bytes come out
// on every run (which the window and command-line tests then read as a game folder).
#include "DemoData.h"

#include "TestSupport.h"
#include "decode/SongConverter.h"
#include "io/ByteCursor.h"
#include "io/VarLen.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace sv::test {

namespace {

// Walks one track from its first delta; returns the offset just past its FF 2F 00, or 0. Checks
// what the converter lets through: a sysex length that disagrees with its F7, F1..FD, a data
// byte above 0x7F.
std::size_t WalkTrack(const Bytes& song, std::size_t p, const std::string& where) {
    std::uint8_t status = 0;
    std::uint32_t value = 0;
    while (ReadVarLen(song, p, value) && p < song.size()) {
        const std::uint8_t first = song[p++];
        if (first == 0xFF) {
            return p + 2;
        }
        if (first == 0xF0) {
            EXPECT_TRUE(ReadVarLen(song, p, value)) << where;
            p += value;
            EXPECT_EQ(song.at(p - 1), 0xF7) << where << ": sysex length";
        } else if (first == 0xFE) {
            p += (song.at(p) == 0x14 ? 4 : song.at(p) == 0x15 ? 8 : 9 + song.at(p + 3)) - 1;
        } else {
            EXPECT_FALSE((first >= 0xF1 && first <= 0xFD) || (first < 0x80 && status == 0))
                << where << ": unexpected byte " << int{first};
            status = first >= 0x80 ? first : status;
            p -= first < 0x80 ? 1 : 0;
            for (int i = (status >> 4) == 0xC || (status >> 4) == 0xD ? 1 : 2; i > 0; --i) {
                EXPECT_LT(song.at(p++), 0x80) << where;
            }
            if ((status >> 4) == 0x9) {
                EXPECT_TRUE(ReadVarLen(song, p, value)) << where;
            }
        }
    }
    ADD_FAILURE() << where << ": the events run past the song";
    return 0;
}

void CheckSong(const Bytes& song, const std::string& name) {
    Bytes midi;
    SongConverter converter;
    ASSERT_EQ(converter.Convert(song, midi), static_cast<std::int32_t>(song.size())) << name;
    EXPECT_EQ(std::memcmp(song.data(), "HMI-MIDISONG061595", 18), 0) << name;
    const std::uint32_t tracks = sv::ByteCursor(song, 0xE4).U32();
    sv::ByteCursor table(song, 0x172);
    std::size_t block = table.U32();
    for (std::uint32_t t = 0; t < tracks; ++t) {
        const std::string where = name + " track " + std::to_string(t);
        ASSERT_TRUE(t == 0 || table.U32() == block) << where << ": offset table";
        ASSERT_EQ(std::memcmp(song.data() + block, "HMI-MIDITRACK", 13), 0) << where;
        const std::uint32_t toEvents = sv::ByteCursor(song, block + 0x57).U32();
        ASSERT_LT(toEvents, 256u) << where;
        block = WalkTrack(song, block + toEvents, where);
        ASSERT_NE(block, 0u) << where;
    }
    EXPECT_EQ(block, song.size()) << name;
}

TEST(DemoData, CataloguesAndSongsAreWellFormed) {
    for (const bool full : {false, true}) {
        const auto names = demo::SongNames(full);
        const auto numbers = demo::EffectNumbers(full);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
        EXPECT_EQ(std::set<std::int32_t>(numbers.begin(), numbers.end()).size(), numbers.size());
        EXPECT_EQ(std::count(names.begin(), names.end(), "TAVERN.HMI"), 1);
        for (std::size_t i = 0; i < names.size(); ++i) {
            // Upper case as the game stores them; 14 bytes with the NUL.
            const std::string& name = names[i];
            EXPECT_TRUE(
                name.size() <= 13 && name.ends_with(".HMI") &&
                std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
                << name;
            // The full set's extra songs are variations of the same composer; a sample of them.
            if (!full || i % 9 == 0) {
                CheckSong(demo::MakeSong(static_cast<int>(i), full), name);
            }
        }
    }
}

TEST(DemoData, EffectsAreSamplesAroundSilence) {
    int empty = 0;
    int odd = 0;
    for (int i = 0; i < static_cast<int>(demo::EffectNumbers(false).size()); ++i) {
        const Bytes samples = demo::MakeEffect(i, false);
        empty += samples.empty() ? 1 : 0;
        odd += static_cast<int>(samples.size() % 2);
        // Centred on 128, loud enough to hear, and ending near silence (no click).
        long long sum = 0;
        int loudest = 0;
        for (const std::uint8_t s : samples) {
            sum += s;
            loudest = std::max(loudest, std::abs(s - 128));
        }
        EXPECT_TRUE(samples.empty() || (std::llabs(sum / std::ssize(samples) - 128) <= 6 &&
                                        loudest > 90 && std::abs(samples.back() - 128) <= 2))
            << "effect " << i;
    }
    // Material for the edges of extraction: one empty effect, odd sizes for the WAV writer.
    EXPECT_EQ(empty, 1);
    EXPECT_GE(odd, 3);
}

TEST(DemoData, GenerationIsDeterministic) {
    ScratchDir dir;
    ASSERT_TRUE(demo::WriteDemoFolder(dir.File("one"), {}));
    // The same bytes with GCC and Clang, optimised or not. A deliberate change to the generator
    // changes these; any other difference means a platform or compiler writes other bytes.
    const std::pair<const char*, std::uint64_t> files[] = {{"MIDI.BSA", 0x913795056A84B128ull},
                                                           {"WYVERN.SND", 0x27AE646836916883ull}};
    for (const auto& [file, hash] : files) {
        std::uint64_t fnv1a = 0xCBF29CE484222325ull;
        for (const std::uint8_t b : ReadFile(sv::JoinPath(dir.File("one"), file))) {
            fnv1a = (fnv1a ^ b) * 0x100000001B3ull;
        }
        EXPECT_EQ(fnv1a, hash) << file;
    }
    // A folder that cannot be made is reported.
    WriteFile(dir.File("file"), {1});
    EXPECT_FALSE(demo::WriteDemoFolder(sv::JoinPath(dir.File("file"), "Arena2"), {}));
}

} // namespace

} // namespace sv::test
