#include "export/soundtrack/SoundtrackExport.h"

#include "archive/Listing.h"
#include "audio/Loudness.h"
#include "audio/PlaybackEngine.h"
#include "audio/Synthesizer.h"
#include "decode/SongConverter.h"
#include "io/File.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>

namespace sv {
namespace {

constexpr const char* kPlaylist = "soundtrack.m3u";
constexpr double kNormalizedLoudness = -16.0; // LUFS
constexpr double kNormalizedTruePeak = -1.0;  // dBTP

struct Song {
    int track = 0; // 1-based position in the listing
    std::string title;
    std::string path;
    std::vector<std::uint8_t> midi; // empty: the song does not convert
    bool written = false;
    double seconds = 0.0;
    std::optional<LoudnessMeter> meter;
};

double FromDecibels(double db) {
    return std::pow(10.0, db / 20.0);
}

std::string TitleOf(const std::string& recordName) {
    const std::size_t dot = recordName.rfind('.');
    return dot == std::string::npos || dot == 0 ? recordName : recordName.substr(0, dot);
}

// The record's bytes converted to a Standard MIDI File; empty when it cannot be read whole or
// does not convert.
std::vector<std::uint8_t> SongMidi(BsaArchive& archive, int index) {
    const std::uint32_t size = archive.RecordSize(index);
    std::vector<std::uint8_t> record;
    std::vector<std::uint8_t> midi;
    if (!archive.RecordWithinFile(index) ||
        size > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
        return midi;
    }
    record.resize(size);
    SongConverter converter;
    if (!archive.ReadRecord(index, record.data(), size) || converter.Convert(record, midi) < 0) {
        midi.clear();
    }
    return midi;
}

std::vector<Song> ListSongs(GameData& data, const SoundtrackOptions& options) {
    std::vector<Song> songs;
    for (const ListedRecord& listed : ListSongs(data)) {
        Song song;
        song.track = static_cast<int>(songs.size()) + 1;
        song.title = TitleOf(listed.name);
        song.path = JoinPath(options.folder, SoundtrackFileName(listed.name, options.type));
        song.midi = SongMidi(data.songArchive, listed.index);
        songs.push_back(std::move(song));
    }
    return songs;
}

std::string SettingsComment(const SoundtrackOptions& options) {
    return RenderingComment(PlayedBy(options.voice, options.soundFont), options.shape);
}

// To -16 LUFS, then held to a true peak of -1 dBTP: limited, and turned down further should the
// limited samples still peak above it between them.
void Normalize(std::vector<float>& samples, int rate) {
    LoudnessMeter before(rate, false);
    before.Add(samples);
    const double loudness = before.Integrated();
    if (!std::isfinite(loudness)) {
        return; // silence stays silence
    }
    Scale(samples, static_cast<float>(FromDecibels(kNormalizedLoudness - loudness)));
    const double ceiling = FromDecibels(kNormalizedTruePeak);
    LimitPeaks(samples, rate, static_cast<float>(ceiling));
    LoudnessMeter after(rate, true);
    after.Add(samples);
    if (after.Peak() > ceiling) {
        // A little under, so that the 16-bit rounding cannot lift it back over.
        Scale(samples, static_cast<float>(ceiling / after.Peak() * 0.999));
    }
}

class Worker {
public:
    Worker(const SoundtrackOptions& options, const std::atomic<bool>& cancel)
        : m_options(options), m_cancel(cancel) {}

    // Renders songs[first], songs[first + step], ...: dealt in turn, so that the same command
    // renders each song after the same ones on the same synthesizer, to the same bytes.
    void Run(std::vector<Song>& songs, std::size_t first, std::size_t step,
             std::shared_ptr<Synthesizer> synth, const std::function<void()>& done) {
        const bool fm = m_options.voice == SongVoice::Fm;
        if (!synth && !fm) {
            synth = Synthesizer::Load(m_options.soundFont, m_options.rate);
        }
        for (std::size_t i = first; i < songs.size() && !m_cancel.load(); i += step) {
            if ((synth || fm) && !songs[i].midi.empty()) {
                songs[i].written = RenderSong(songs[i], synth);
            }
            done();
        }
    }

private:
    bool RenderSong(Song& song, const std::shared_ptr<Synthesizer>& synth) {
        LoadError error = LoadError::None;
        auto renderer = MakeRenderer(song.midi, m_options.voice, synth, m_options.rate, error);
        if (!renderer) {
            return false;
        }
        const int rate = m_options.rate;
        std::vector<float> samples =
            RenderWhole(*renderer, rate, m_options.shape, nullptr, &m_cancel);
        renderer.reset();
        if (m_cancel.load() || samples.empty()) {
            return false;
        }
        if (m_options.normalize) {
            Normalize(samples, rate);
        }
        LimitPeaks(samples, rate);
        song.seconds = static_cast<double>(samples.size() / kChannels) / rate;

        SoundTags tags;
        tags.title = song.title;
        tags.album = m_options.album;
        tags.trackNumber = std::to_string(song.track);
        tags.comment = SettingsComment(m_options);
        if (!m_options.normalize) {
            song.meter.emplace(rate, false);
            song.meter->Add(samples);
            tags.extra = TrackGainTags(*song.meter);
        }
        std::vector<std::uint8_t> bytes;
        if (!EncodeSound(samples, rate, m_options.type, tags, bytes)) {
            return false;
        }
        samples = {};
        return !m_cancel.load() && WriteWholeFile(song.path, bytes.data(), bytes.size());
    }

    const SoundtrackOptions& m_options;
    const std::atomic<bool>& m_cancel;
};

// The album's gain and peak, added to every tagged file once all are rendered.
void TagAlbum(std::vector<Song>& songs, const SoundtrackOptions& options,
              const std::atomic<bool>& cancel) {
    std::vector<const LoudnessMeter*> meters;
    double peak = 0.0;
    for (const Song& song : songs) {
        if (song.written && song.meter) {
            meters.push_back(&*song.meter);
            peak = std::max(peak, song.meter->Peak());
        }
    }
    if (meters.empty() || options.type == SoundFileType::Wav) {
        return;
    }
    const std::vector<std::pair<std::string, std::string>> album = {
        {"REPLAYGAIN_ALBUM_GAIN", GainText(kReplayGainReference - LoudnessMeter::Together(meters))},
        {"REPLAYGAIN_ALBUM_PEAK", PeakText(peak)}};
    for (Song& song : songs) {
        std::vector<std::uint8_t> bytes;
        if (cancel.load()) {
            return;
        }
        song.written = song.written && ReadWholeFile(song.path, bytes) &&
                       AddComments(bytes, options.type, album) &&
                       WriteWholeFile(song.path, bytes.data(), bytes.size());
    }
}

bool WritePlaylist(const std::vector<Song>& songs, const SoundtrackOptions& options,
                   const std::string& path) {
    std::string text = "#EXTM3U\n#PLAYLIST:" + options.album + ", " +
                       PlayedBy(options.voice, options.soundFont) + "\n";
    for (const Song& song : songs) {
        if (song.written) {
            text += "#EXTINF:" + std::to_string(std::lround(song.seconds)) + "," + song.title +
                    "\n" + FromPath(ToPath(song.path).filename()) + "\n";
        }
    }
    return WriteWholeFile(path, text.data(), text.size()).Ok();
}

void Count(SoundtrackResult& result, bool written, const std::string& path) {
    if (!written) {
        ++result.passedOver;
        result.notWritten.push_back(path);
        return;
    }
    ++result.written;
    std::error_code ec;
    const auto size = std::filesystem::file_size(ToPath(path), ec);
    result.bytes += ec ? 0 : size;
}

} // namespace

std::string SoundtrackFileName(const std::string& recordName, SoundFileType type) {
    std::string name = AsciiLower(recordName);
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".hmi") == 0) {
        name.resize(name.size() - 4);
    }
    return SafeName(name + ExtensionOf(type));
}

SoundtrackResult ExportSoundtrack(GameData& data, const SoundtrackOptions& options,
                                  ProgressControl& progress, const std::atomic<bool>& cancel) {
    SoundtrackResult result;
    // The first synthesizer is loaded here, so that a SoundFont that does not load stops the
    // run before anything is written.
    std::shared_ptr<Synthesizer> first;
    if (options.voice == SongVoice::SoundFont) {
        first = Synthesizer::Load(options.soundFont, options.rate);
        if (!first) {
            result.soundFontLoaded = false;
            return result;
        }
    }
    std::vector<Song> songs = ListSongs(data, options);
    const std::size_t jobs = std::clamp<std::size_t>(
        options.jobs > 0 ? static_cast<std::size_t>(options.jobs)
                         : std::max(1u, std::thread::hardware_concurrency()),
        1, std::max<std::size_t>(1, songs.size()));

    std::mutex mutex;
    std::condition_variable changed;
    int finished = 0;
    const auto done = [&] {
        const std::lock_guard lock(mutex);
        ++finished;
        changed.notify_one();
    };
    progress.SetRange(0, static_cast<std::int32_t>(songs.size()));
    progress.Show();
    std::vector<std::thread> threads;
    std::vector<Worker> workers(jobs, Worker(options, cancel));
    for (std::size_t j = 0; j < jobs; ++j) {
        threads.emplace_back(
            [&, j] { workers[j].Run(songs, j, jobs, j == 0 ? std::move(first) : nullptr, done); });
    }
    {
        std::unique_lock lock(mutex);
        while (finished < static_cast<int>(songs.size()) && !cancel.load()) {
            changed.wait_for(lock, std::chrono::milliseconds(200));
            progress.SetPos(finished);
        }
    }
    for (std::thread& t : threads) {
        t.join();
    }
    progress.Hide();
    result.cancelled = cancel.load();
    if (!options.normalize && !result.cancelled) {
        TagAlbum(songs, options, cancel);
    }
    for (const Song& song : songs) {
        Count(result, song.written, song.path);
    }
    if (!result.cancelled) {
        const std::string playlist = JoinPath(options.folder, kPlaylist);
        Count(result, WritePlaylist(songs, options, playlist), playlist);
    }
    return result;
}

} // namespace sv
