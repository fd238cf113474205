#include "Catalog.h"

#include <algorithm>

namespace demo {

namespace {

std::vector<SongEntry> SmallSongs() {
    return {
        {"TAVERN.HMI", Mood::Jig, 1},        {"DUNGEON1.HMI", Mood::Dungeon, 2},
        {"TOWN1.HMI", Mood::Town, 3},        {"BATTLE1.HMI", Mood::Battle, 4},
        {"NIGHT1.HMI", Mood::Night, 5},      {"SUNNY1.HMI", Mood::Travel, 6},
        {"TEMPLE1.HMI", Mood::Temple, 7},    {"SNOW1.HMI", Mood::Snow, 8},
        {"PALACE.HMI", Mood::March, 9},      {"LAMENT.HMI", Mood::Lament, 10},
        {"DUNGEON2.HMI", Mood::Dungeon, 11}, {"INN.HMI", Mood::Jig, 12},
        {"BATTLE2.HMI", Mood::Battle, 13},   {"TOWN2.HMI", Mood::Town, 14},
        {"NIGHT2.HMI", Mood::Night, 15},     {"CREDITS.HMI", Mood::Travel, 16},
    };
}

std::vector<SongEntry> FullSongs() {
    struct Base {
        const char* prefix;
        Mood mood;
    };
    static constexpr Base kBases[] = {
        {"TOWN", Mood::Town},    {"DUNG", Mood::Dungeon}, {"COMBAT", Mood::Battle},
        {"NIGHT", Mood::Night},  {"SUNNY", Mood::Travel}, {"TEMPLE", Mood::Temple},
        {"SNOW", Mood::Snow},    {"MARCH", Mood::March},  {"SAD", Mood::Lament},
        {"JIG", Mood::Jig},      {"CAVE", Mood::Dungeon}, {"RAIN", Mood::Night},
        {"CASTLE", Mood::March},
    };
    std::vector<SongEntry> songs = SmallSongs();
    std::uint32_t seed = 100;
    for (int round = 1; songs.size() < 130; ++round) {
        for (const Base& base : kBases) {
            if (songs.size() == 130) {
                break;
            }
            std::string name = std::string(base.prefix) + std::to_string(round) + ".HMI";
            const bool taken = std::any_of(songs.begin(), songs.end(),
                                           [&](const SongEntry& e) { return e.name == name; });
            if (!taken) {
                songs.push_back({std::move(name), base.mood, seed++});
            }
        }
    }
    return songs;
}

std::vector<EffectEntry> SmallEffects() {
    // Numbered in groups, with gaps, as a game's sound list grows over its making.
    return {
        {0, Sound::SwordSwing, 1},  {1, Sound::SwordClash, 2},  {2, Sound::Punch, 3},
        {3, Sound::ArrowShot, 4},   {5, Sound::Grunt, 5},       {6, Sound::Scream, 6},
        {10, Sound::DoorOpen, 7},   {11, Sound::DoorClose, 8},  {12, Sound::Portcullis, 9},
        {13, Sound::LockClick, 10}, {14, Sound::ChestOpen, 11}, {15, Sound::Coins, 12},
        {20, Sound::StepStone, 13}, {21, Sound::StepGrass, 14}, {22, Sound::StepWood, 15},
        {30, Sound::Fireball, 16},  {31, Sound::Heal, 17},      {32, Sound::Lightning, 18},
        {33, Sound::SpellFail, 19}, {34, Sound::Teleport, 20},  {35, Sound::LevelUp, 21},
        {36, Sound::Drink, 22},     {40, Sound::FireLoop, 23},  {41, Sound::Splash, 24},
        {42, Sound::Drip, 25},      {43, Sound::RiverLoop, 26}, {44, Sound::WindLoop, 27},
        {45, Sound::Rain, 28},      {46, Sound::Thunder, 29},   {47, Sound::Bell, 30},
        {50, Sound::RatSqueak, 31}, {51, Sound::WolfGrowl, 32}, {52, Sound::Roar, 33},
        {53, Sound::BatWings, 34},  {54, Sound::GhostMoan, 35}, {55, Sound::Skeleton, 36},
        {60, Sound::BirdChirp, 37}, {61, Sound::Crickets, 38},  {99, Sound::Empty, 0},
    };
}

std::vector<EffectEntry> FullEffects() {
    std::vector<EffectEntry> effects = SmallEffects();
    std::int32_t number = 100;
    std::uint32_t seed = 1000;
    const int kinds = static_cast<int>(Sound::Count);
    for (int i = 0; effects.size() < 450; ++i) {
        const Sound sound = static_cast<Sound>(1 + i % (kinds - 1)); // no further empty record
        effects.push_back({number, sound, seed++});
        number += (i % 7 == 6) ? 3 : 1;
    }
    return effects;
}

} // namespace

const std::vector<SongEntry>& SongEntries(bool full) {
    static const std::vector<SongEntry> small = SmallSongs();
    static const std::vector<SongEntry> large = FullSongs();
    return full ? large : small;
}

const std::vector<EffectEntry>& EffectEntries(bool full) {
    static const std::vector<EffectEntry> small = SmallEffects();
    static const std::vector<EffectEntry> large = FullEffects();
    return full ? large : small;
}

const char* SoundName(Sound sound) {
    static constexpr const char* kNames[] = {
        "empty",
        "sword swing",
        "sword clash",
        "punch",
        "arrow shot",
        "door opening",
        "door closing",
        "step on stone",
        "step on grass",
        "step on wood",
        "fireball",
        "healing",
        "lightning",
        "fire (loop)",
        "splash",
        "drip",
        "river (loop)",
        "rat squeak",
        "wolf growl",
        "monster roar",
        "bat wings",
        "ghost moan",
        "bell",
        "chest opening",
        "coins",
        "level up",
        "grunt",
        "wind (loop)",
        "rain",
        "thunder",
        "lock click",
        "drinking a potion",
        "spell failing",
        "teleport",
        "skeleton rattle",
        "bird chirp",
        "crickets",
        "portcullis",
        "scream",
    };
    static_assert(sizeof kNames / sizeof kNames[0] == static_cast<std::size_t>(Sound::Count));
    return kNames[static_cast<std::size_t>(sound)];
}

} // namespace demo
