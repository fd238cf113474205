// The system's General MIDI SoundFont, loaded once for the whole test program: loading it reads
// well over 100 MB. Tests that need it skip when the machine has none.
#pragma once

#include "audio/Synthesizer.h"

#include <gtest/gtest.h>

namespace testing_support {

inline constexpr int kRate = 44100;

inline std::shared_ptr<audio::Synthesizer> SharedSynth() {
    static const std::shared_ptr<audio::Synthesizer> synth =
        audio::Synthesizer::Load(audio::FindDefaultSoundFont(), kRate);
    return synth;
}

#define REQUIRE_SOUNDFONT()                                                                        \
    if (!testing_support::SharedSynth()) {                                                         \
        GTEST_SKIP() << "no General MIDI SoundFont on this machine";                               \
    }

} // namespace testing_support
