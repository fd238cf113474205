// What the demo archives hold: the songs' names with the mood each is composed in, and the
// effects' record numbers with the sound each is synthesized as. The full-size folder extends
// the small one's lists with seeded variations.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

enum class Mood { Jig, Dungeon, Town, Battle, Night, Temple, Snow, March, Lament, Travel };

struct SongEntry {
    std::string name;
    Mood mood;
    std::uint32_t seed;
};

enum class Sound {
    Empty,
    SwordSwing,
    SwordClash,
    Punch,
    ArrowShot,
    DoorOpen,
    DoorClose,
    StepStone,
    StepGrass,
    StepWood,
    Fireball,
    Heal,
    Lightning,
    FireLoop,
    Splash,
    Drip,
    RiverLoop,
    RatSqueak,
    WolfGrowl,
    Roar,
    BatWings,
    GhostMoan,
    Bell,
    ChestOpen,
    Coins,
    LevelUp,
    Grunt,
    WindLoop,
    Rain,
    Thunder,
    LockClick,
    Drink,
    SpellFail,
    Teleport,
    Skeleton,
    BirdChirp,
    Crickets,
    Portcullis,
    Scream,
    Count
};

struct EffectEntry {
    std::int32_t number;
    Sound sound;
    std::uint32_t seed;
};

const std::vector<SongEntry>& SongEntries(bool full);
const std::vector<EffectEntry>& EffectEntries(bool full);

// A name for the report and the tools ("sword swing").
const char* SoundName(Sound sound);

} // namespace demo
