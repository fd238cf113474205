// The demo folder: it opens as a game folder, every song is a well-formed HMI file as the
// converter walks it, and the same bytes come out on every run.
#include "DemoData.h"

#include "TestSupport.h"
#include "archive/Bytes.h"
#include "archive/GameData.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

using testing_support::Bytes;
using testing_support::ReadFile;
using testing_support::ScratchDir;

std::uint32_t ReadVarLen(sv::ByteCursor& c) {
    std::uint32_t value = 0;
    for (int n = 0; n < 4; ++n) {
        const std::uint8_t b = c.U8();
        value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) {
            return value;
        }
    }
    ADD_FAILURE() << "varlen longer than 4 bytes at " << c.Position();
    return value;
}

std::size_t Find(const Bytes& data, const char* text, std::size_t from = 0) {
    const auto it = std::search(data.begin() + static_cast<std::ptrdiff_t>(from), data.end(), text,
                                text + std::strlen(text));
    return it == data.end() ? std::string::npos : static_cast<std::size_t>(it - data.begin());
}

// Walks one track's events as the converter does; returns the offset just past FF 2F 00, or 0.
std::size_t WalkTrack(const Bytes& song, std::size_t start, const std::string& where) {
    sv::ByteCursor c(song, start);
    std::uint8_t status = 0;
    std::uint64_t now = ReadVarLen(c);
    std::uint64_t lastNoteEnd = 0;
    int maxSounding = 0;
    std::vector<std::uint64_t> due; // pending note-offs: at most 128 in the converter's table
    while (!c.Failed()) {
        const std::uint8_t first = c.U8();
        if (first == 0xFF) {
            EXPECT_EQ(c.U8(), 0x2F) << where;
            EXPECT_EQ(c.U8(), 0x00) << where;
            EXPECT_LE(lastNoteEnd, now) << where << ": a note outlasts its track";
            EXPECT_LT(maxSounding, 128) << where;
            return c.Failed() ? 0 : c.Position();
        }
        if (first == 0xF0) {
            const std::uint32_t length = ReadVarLen(c);
            const auto body = c.Bytes(length);
            EXPECT_EQ(body.size(), length) << where;
            for (std::size_t i = 0; i + 1 < body.size(); ++i) {
                EXPECT_NE(body[i], 0xF7) << where << ": F7 inside a sysex";
            }
            EXPECT_TRUE(!body.empty() && body.back() == 0xF7) << where;
        } else if (first == 0xFE) {
            const std::size_t at = c.Position() - 1;
            const std::uint8_t kind = c.U8();
            if (kind != 0x10 && kind != 0x14 && kind != 0x15) {
                ADD_FAILURE() << where << ": private event " << int{kind};
                return 0;
            }
            const std::size_t size = kind == 0x14 ? 4 : kind == 0x15 ? 8 : 9 + song.at(at + 4);
            c.Skip(size - 2);
        } else {
            if ((first >= 0xF1 && first <= 0xFD) || (first < 0x80 && status == 0)) {
                ADD_FAILURE() << where << ": unexpected byte " << int{first};
                return 0;
            }
            status = first >= 0x80 ? first : status;
            const int dataBytes = (status >> 4) == 0xC || (status >> 4) == 0xD ? 1 : 2;
            for (int i = 0; i < dataBytes; ++i) {
                const std::uint8_t d = i == 0 && first < 0x80 ? first : c.U8();
                EXPECT_LT(d, 0x80) << where;
            }
            if ((status >> 4) == 0x9) {
                const std::uint64_t end = now + ReadVarLen(c);
                lastNoteEnd = std::max(lastNoteEnd, end);
                std::erase_if(due, [&](std::uint64_t t) { return t <= now; });
                due.push_back(end);
                maxSounding = std::max(maxSounding, static_cast<int>(due.size()));
            }
        }
        now += ReadVarLen(c);
    }
    ADD_FAILURE() << where << ": the events run past the song";
    return 0;
}

void CheckSong(const Bytes& song, const std::string& name) {
    ASSERT_GT(song.size(), 0x172u) << name;
    EXPECT_EQ(std::memcmp(song.data(), "HMI-MIDISONG061595", 18), 0) << name;
    sv::ByteCursor header(song, 0xE4);
    const std::uint32_t tracks = header.U32();
    std::size_t tags = 0;
    for (std::size_t at = Find(song, "HMI-MIDITRACK"); at != std::string::npos;
         at = Find(song, "HMI-MIDITRACK", at + 1)) {
        ++tags;
    }
    ASSERT_EQ(tracks, tags) << name;
    ASSERT_GE(tracks, 3u) << name;
    // The converter finds the first block by its "TRAC", 8 bytes into the tag.
    EXPECT_EQ(Find(song, "TRAC"), Find(song, "HMI-MIDITRACK") + 8) << name;

    sv::ByteCursor table(song, 0x172);
    std::size_t block = table.U32();
    EXPECT_EQ(block, Find(song, "HMI-MIDITRACK")) << name;
    for (std::uint32_t t = 0; t < tracks; ++t) {
        const std::string where = name + " track " + std::to_string(t);
        if (t > 0) {
            ASSERT_EQ(table.U32(), block) << where << ": offset table";
        }
        ASSERT_EQ(std::memcmp(song.data() + block, "HMI-MIDITRACK", 13), 0) << where;
        sv::ByteCursor distance(song, block + 0x57);
        const std::uint32_t toEvents = distance.U32();
        ASSERT_LT(toEvents, 256u) << where;
        block = WalkTrack(song, block + toEvents, where);
        ASSERT_NE(block, 0u) << where;
    }
    EXPECT_EQ(block, song.size()) << name << ": bytes after the last track";
}

TEST(DemoData, FolderOpensAsAGameFolder) {
    ScratchDir dir;
    const std::string folder = dir.Sub("Arena2");
    ASSERT_TRUE(demo::WriteDemoFolder(folder, {}));
    EXPECT_TRUE(testing_support::Exists(sv::JoinPath(folder, "MIDI.BSA")));
    EXPECT_TRUE(testing_support::Exists(sv::JoinPath(folder, "WYVERN.SND")));

    GameData data;
    data.SetWorkFolder(dir.Sub("work"));
    ASSERT_TRUE(data.Open(folder));
    const int songs = data.songArchive.RecordCount();
    const int effects = data.soundArchive.RecordCount();
    EXPECT_GE(songs, 10);
    EXPECT_GE(effects, 30);
    EXPECT_EQ(songs, static_cast<int>(demo::SongNames(false).size()));

    std::set<std::string> names;
    for (int i = 0; i < songs; ++i) {
        std::string name;
        ASSERT_TRUE(data.songArchive.RecordName(i, 16, name));
        EXPECT_EQ(name, demo::SongNames(false)[static_cast<std::size_t>(i)]);
        EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](char ch) {
            return ch >= 'a' && ch <= 'z';
        })) << name;
        EXPECT_TRUE(name.ends_with(".HMI")) << name;
        names.insert(name);
        Bytes song(data.songArchive.RecordSize(i));
        ASSERT_TRUE(
            data.songArchive.ReadRecord(i, song.data(), static_cast<std::uint32_t>(song.size())));
        EXPECT_EQ(song, demo::MakeSong(i, false)) << name;
    }
    EXPECT_EQ(names.count("TAVERN.HMI"), 1u);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(songs));

    int empty = 0;
    int odd = 0;
    std::set<std::string> numbers;
    for (int i = 0; i < effects; ++i) {
        std::string name;
        ASSERT_TRUE(data.soundArchive.RecordName(i, 16, name));
        numbers.insert(name);
        const std::uint32_t size = data.soundArchive.RecordSize(i);
        empty += size == 0 ? 1 : 0;
        odd += size % 2;
    }
    EXPECT_EQ(empty, 1);
    EXPECT_GE(odd, 3);
    EXPECT_EQ(numbers.size(), static_cast<std::size_t>(effects));
}

TEST(DemoData, EverySongIsWellFormed) {
    for (const bool full : {false, true}) {
        const std::vector<std::string> names = demo::SongNames(full);
        // The full set's extra songs are variations of the same composer; a sample of them.
        for (std::size_t i = 0; i < names.size(); i += full ? 9 : 1) {
            CheckSong(demo::MakeSong(static_cast<int>(i), full), names[i]);
        }
    }
}

TEST(DemoData, EffectsAreSamplesAroundSilence) {
    for (int i = 0; i < static_cast<int>(demo::EffectNumbers(false).size()); ++i) {
        const Bytes samples = demo::MakeEffect(i, false);
        if (samples.empty()) {
            continue;
        }
        // Centred on 128, loud enough to hear, and starting and ending near silence (no click).
        long long sum = 0;
        int loudest = 0;
        for (const std::uint8_t s : samples) {
            sum += s;
            loudest = std::max(loudest, std::abs(s - 128));
        }
        const long long mean = sum / static_cast<long long>(samples.size());
        EXPECT_NEAR(mean, 128, 6) << "effect " << i;
        EXPECT_GT(loudest, 90) << "effect " << i;
        EXPECT_NEAR(samples.back(), 128, 2) << "effect " << i;
    }
}

TEST(DemoData, FullSizeListsAreLargeAndDistinct) {
    const auto names = demo::SongNames(true);
    const auto numbers = demo::EffectNumbers(true);
    EXPECT_EQ(names.size(), 130u);
    EXPECT_EQ(numbers.size(), 450u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(std::set<std::int32_t>(numbers.begin(), numbers.end()).size(), numbers.size());
    EXPECT_NE(std::find(names.begin(), names.end(), "TAVERN.HMI"), names.end());
    for (const std::string& name : names) {
        EXPECT_LE(name.size(), 13u) << name; // 14 bytes with the NUL
    }
}

TEST(DemoData, GenerationIsDeterministic) {
    ScratchDir dir;
    ASSERT_TRUE(demo::WriteDemoFolder(dir.File("one"), {}));
    ASSERT_TRUE(demo::WriteDemoFolder(dir.File("two"), {}));
    for (const char* file : {"MIDI.BSA", "WYVERN.SND"}) {
        const Bytes one = ReadFile(sv::JoinPath(dir.File("one"), file));
        EXPECT_FALSE(one.empty());
        EXPECT_EQ(one, ReadFile(sv::JoinPath(dir.File("two"), file))) << file;
    }
    EXPECT_EQ(demo::MakeEffect(5, true), demo::MakeEffect(5, true));
    EXPECT_NE(demo::MakeSong(0, false), demo::MakeSong(11, false)); // seeds do matter
}

TEST(DemoData, WriteErrorIsReported) {
    ScratchDir dir;
    testing_support::WriteFile(dir.File("file"), {1});
    EXPECT_FALSE(demo::WriteDemoFolder(sv::JoinPath(dir.File("file"), "Arena2"), {}));
}

} // namespace
