#include "SoundFileWriter.h"

#include "Loudness.h"
#include "SoundMemory.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <flacfile.h>
#include <id3v2framefactory.h>
#include <limits>
#include <memory>
#include <sndfile.h>
#include <tbytevectorstream.h>
#include <vorbis/vorbisenc.h>
#include <vorbisfile.h>
#include <xiphcomment.h>

namespace sv {
namespace {

constexpr std::size_t kBlockFrames = 4096;
constexpr unsigned kFlacLevel = 5;     // libFLAC's default balance of size and speed
constexpr float kVorbisQuality = 0.4f; // about 128 kbit/s at 44,100 Hz

using Comments = std::vector<std::pair<std::string, std::string>>;

// Every tag as a Vorbis comment, in a fixed order.
Comments AllComments(const SoundTags& tags) {
    Comments all;
    const std::pair<const char*, const std::string*> fields[] = {{"TITLE", &tags.title},
                                                                 {"ALBUM", &tags.album},
                                                                 {"TRACKNUMBER", &tags.trackNumber},
                                                                 {"COMMENT", &tags.comment}};
    for (const auto& [key, text] : fields) {
        if (!text->empty()) {
            all.emplace_back(key, *text);
        }
    }
    all.insert(all.end(), tags.extra.begin(), tags.extra.end());
    return all;
}

// The limiter has kept the samples within full scale; the clamp guards the conversion.
std::int32_t ToShort(float s) {
    return static_cast<std::int32_t>(std::lrint(std::clamp(s, -1.0f, 1.0f) * 32767.0f));
}

bool EncodeWav(std::span<const float> samples, int rate, const SoundTags& tags,
               std::vector<std::uint8_t>& out) {
    SoundMemory memory(out);
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = memory.Open(SFM_WRITE, info);
    if (file == nullptr) {
        return false;
    }
    const std::pair<int, const std::string*> fields[] = {{SF_STR_TITLE, &tags.title},
                                                         {SF_STR_ALBUM, &tags.album},
                                                         {SF_STR_TRACKNUMBER, &tags.trackNumber},
                                                         {SF_STR_COMMENT, &tags.comment}};
    for (const auto& [field, text] : fields) {
        if (!text->empty()) {
            (void)sf_set_string(file, field, text->c_str());
        }
    }
    bool ok = true;
    std::vector<short> block(kBlockFrames * kChannels);
    for (std::size_t at = 0; ok && at < samples.size(); at += block.size()) {
        const std::size_t n = std::min(block.size(), samples.size() - at);
        std::transform(samples.begin() + static_cast<std::ptrdiff_t>(at),
                       samples.begin() + static_cast<std::ptrdiff_t>(at + n), block.begin(),
                       [](float s) { return static_cast<short>(ToShort(s)); });
        ok = sf_write_short(file, block.data(), static_cast<sf_count_t>(n)) ==
             static_cast<sf_count_t>(n);
    }
    return sf_close(file) == 0 && ok;
}

// The encoder's output in memory. libFLAC seeks back at the end to complete the stream info
// (length, checksum), so writes land at a position rather than at the end.
struct FlacSink {
    std::vector<std::uint8_t>& out;
    std::size_t at = 0;

    static FLAC__StreamEncoderWriteStatus Write(const FLAC__StreamEncoder*, const FLAC__byte* data,
                                                size_t bytes, uint32_t, uint32_t, void* self) {
        auto& sink = *static_cast<FlacSink*>(self);
        if (sink.out.size() < sink.at + bytes) {
            sink.out.resize(sink.at + bytes);
        }
        std::memcpy(sink.out.data() + sink.at, data, bytes);
        sink.at += bytes;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }
    static FLAC__StreamEncoderSeekStatus Seek(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                              void* self) {
        static_cast<FlacSink*>(self)->at = static_cast<std::size_t>(offset);
        return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
    }
    static FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                              void* self) {
        *offset = static_cast<FLAC__uint64>(static_cast<FlacSink*>(self)->at);
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

struct FlacEncoderDeleter {
    void operator()(FLAC__StreamEncoder* e) const noexcept { FLAC__stream_encoder_delete(e); }
};
struct FlacMetadataDeleter {
    void operator()(FLAC__StreamMetadata* m) const noexcept { FLAC__metadata_object_delete(m); }
};

// The comment block as the only metadata besides the stream info: no padding, no seek table.
std::unique_ptr<FLAC__StreamMetadata, FlacMetadataDeleter> FlacComments(const SoundTags& tags) {
    std::unique_ptr<FLAC__StreamMetadata, FlacMetadataDeleter> block(
        FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    for (const auto& [key, value] : AllComments(tags)) {
        FLAC__StreamMetadata_VorbisComment_Entry entry;
        if (!block ||
            !FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, key.c_str(),
                                                                            value.c_str()) ||
            !FLAC__metadata_object_vorbiscomment_append_comment(block.get(), entry, false)) {
            return nullptr;
        }
    }
    return block;
}

bool EncodeFlac(std::span<const float> samples, int rate, const SoundTags& tags,
                std::vector<std::uint8_t>& out) {
    std::unique_ptr<FLAC__StreamEncoder, FlacEncoderDeleter> encoder(FLAC__stream_encoder_new());
    auto comments = FlacComments(tags);
    if (!encoder || !comments) {
        return false;
    }
    FLAC__StreamMetadata* metadata[] = {comments.get()};
    FLAC__StreamEncoder* e = encoder.get();
    FlacSink sink{out};
    if (!FLAC__stream_encoder_set_channels(e, kChannels) ||
        !FLAC__stream_encoder_set_bits_per_sample(e, 16) ||
        !FLAC__stream_encoder_set_sample_rate(e, static_cast<uint32_t>(rate)) ||
        !FLAC__stream_encoder_set_compression_level(e, kFlacLevel) ||
        !FLAC__stream_encoder_set_metadata(e, metadata, 1) ||
        FLAC__stream_encoder_init_stream(e, FlacSink::Write, FlacSink::Seek, FlacSink::Tell,
                                         nullptr, &sink) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        return false;
    }
    bool ok = true;
    std::vector<FLAC__int32> block(kBlockFrames * kChannels);
    for (std::size_t at = 0; ok && at < samples.size(); at += block.size()) {
        const std::size_t n = std::min(block.size(), samples.size() - at);
        std::transform(samples.begin() + static_cast<std::ptrdiff_t>(at),
                       samples.begin() + static_cast<std::ptrdiff_t>(at + n), block.begin(),
                       ToShort);
        ok = FLAC__stream_encoder_process_interleaved(e, block.data(),
                                                      static_cast<uint32_t>(n / kChannels));
    }
    return FLAC__stream_encoder_finish(e) && ok;
}

// libvorbis' and libogg's states, cleared in the reverse order of their set-up.
class VorbisStream {
public:
    VorbisStream() {
        vorbis_info_init(&m_info);
        vorbis_comment_init(&m_comment);
    }
    ~VorbisStream() {
        if (m_started) {
            ogg_stream_clear(&m_ogg);
            vorbis_block_clear(&m_block);
            vorbis_dsp_clear(&m_dsp);
        }
        vorbis_comment_clear(&m_comment);
        vorbis_info_clear(&m_info);
    }
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;

    // The three header packets, on pages of their own so that the audio starts on a fresh page.
    bool Start(int rate, const SoundTags& tags, int serial, std::vector<std::uint8_t>& out) {
        if (vorbis_encode_init_vbr(&m_info, kChannels, rate, kVorbisQuality) != 0) {
            return false;
        }
        for (const auto& [key, value] : AllComments(tags)) {
            vorbis_comment_add_tag(&m_comment, key.c_str(), value.c_str());
        }
        if (vorbis_analysis_init(&m_dsp, &m_info) != 0) {
            return false;
        }
        vorbis_block_init(&m_dsp, &m_block);
        ogg_stream_init(&m_ogg, serial);
        m_started = true;
        ogg_packet id;
        ogg_packet comments;
        ogg_packet setup;
        if (vorbis_analysis_headerout(&m_dsp, &m_comment, &id, &comments, &setup) != 0) {
            return false;
        }
        for (ogg_packet* header : {&id, &comments, &setup}) {
            ogg_stream_packetin(&m_ogg, header);
        }
        ogg_page page;
        while (ogg_stream_flush(&m_ogg, &page) != 0) {
            Append(page, out);
        }
        return true;
    }

    // Interleaved stereo frames; none marks the end of the stream.
    void Write(std::span<const float> frames, std::vector<std::uint8_t>& out) {
        const std::size_t n = frames.size() / kChannels;
        if (n > 0) {
            float** buffer = vorbis_analysis_buffer(&m_dsp, static_cast<int>(n));
            for (std::size_t i = 0; i < n; ++i) {
                buffer[0][i] = frames[2 * i];
                buffer[1][i] = frames[2 * i + 1];
            }
        }
        vorbis_analysis_wrote(&m_dsp, static_cast<int>(n));
        ogg_packet packet;
        ogg_page page;
        while (vorbis_analysis_blockout(&m_dsp, &m_block) == 1) {
            vorbis_analysis(&m_block, nullptr);
            vorbis_bitrate_addblock(&m_block);
            while (vorbis_bitrate_flushpacket(&m_dsp, &packet) != 0) {
                ogg_stream_packetin(&m_ogg, &packet);
                while (ogg_stream_pageout(&m_ogg, &page) != 0) {
                    Append(page, out);
                }
            }
        }
        while (n == 0 && ogg_stream_flush(&m_ogg, &page) != 0) {
            Append(page, out);
        }
    }

private:
    static void Append(const ogg_page& page, std::vector<std::uint8_t>& out) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    }

    vorbis_info m_info{};
    vorbis_comment m_comment{};
    vorbis_dsp_state m_dsp{};
    vorbis_block m_block{};
    ogg_stream_state m_ogg{};
    bool m_started = false;
};

bool EncodeOgg(std::span<const float> samples, int rate, const SoundTags& tags,
               std::vector<std::uint8_t>& out) {
    // A fixed serial number, so that the same song gives the same bytes; the track's own keeps
    // the files of one soundtrack apart should they ever be chained.
    const int serial = static_cast<int>(std::strtol(tags.trackNumber.c_str(), nullptr, 10)) + 1;
    VorbisStream stream;
    if (!stream.Start(rate, tags, serial, out)) {
        return false;
    }
    for (std::size_t at = 0; at < samples.size(); at += kBlockFrames * kChannels) {
        stream.Write(samples.subspan(at, std::min(kBlockFrames * kChannels, samples.size() - at)),
                     out);
    }
    stream.Write({}, out);
    return true;
}

} // namespace

SoundFileType SoundFileTypeFor(const std::string& path) {
    const std::string lower = sv::AsciiLower(path);
    const auto endsWith = [&lower](std::string_view ext) {
        return lower.size() > ext.size() &&
               lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0;
    };
    if (endsWith(".wav")) {
        return SoundFileType::Wav;
    }
    if (endsWith(".flac")) {
        return SoundFileType::Flac;
    }
    if (endsWith(".ogg") || endsWith(".oga")) {
        return SoundFileType::Ogg;
    }
    return SoundFileType::Unknown;
}

const char* ExtensionOf(SoundFileType type) {
    switch (type) {
    case SoundFileType::Wav:
        return ".wav";
    case SoundFileType::Flac:
        return ".flac";
    case SoundFileType::Ogg:
        return ".ogg";
    case SoundFileType::Unknown:
        break;
    }
    return "";
}

bool EncodeSound(std::span<const float> samples, int rate, SoundFileType type,
                 const SoundTags& tags, std::vector<std::uint8_t>& out) {
    out.clear();
    bool ok = false;
    switch (type) {
    case SoundFileType::Wav:
        ok = EncodeWav(samples, rate, tags, out);
        break;
    case SoundFileType::Flac:
        ok = EncodeFlac(samples, rate, tags, out);
        break;
    case SoundFileType::Ogg:
        ok = EncodeOgg(samples, rate, tags, out);
        break;
    case SoundFileType::Unknown:
        break;
    }
    return ok;
}

bool AddComments(std::vector<std::uint8_t>& file, SoundFileType type, const Comments& comments) {
    if (file.size() > std::numeric_limits<unsigned>::max()) {
        return false; // beyond TagLib's byte vectors
    }
    TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(file.data()),
                                                       static_cast<unsigned>(file.size())));
    const auto set = [&comments](TagLib::Ogg::XiphComment* tag) {
        for (const auto& [key, value] : comments) {
            tag->addField(key, TagLib::String(value, TagLib::String::UTF8), true);
        }
    };
    bool saved = false;
    if (type == SoundFileType::Flac) {
        TagLib::FLAC::File flac(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (flac.isValid()) {
            set(flac.xiphComment(true));
            saved = flac.save();
        }
    } else if (type == SoundFileType::Ogg) {
        TagLib::Ogg::Vorbis::File ogg(&stream, false);
        if (ogg.isValid()) {
            set(ogg.tag());
            saved = ogg.save();
        }
    }
    if (saved) {
        const TagLib::ByteVector& bytes = *stream.data();
        file.assign(bytes.begin(), bytes.end());
    }
    return saved;
}

std::string RenderingComment(const std::string& instrument, const SongShape& shape) {
    char fade[32];
    (void)std::snprintf(fade, sizeof fade, "%g", shape.fadeSeconds);
    return (instrument.empty() ? "" : instrument + ", ") + "loops " + std::to_string(shape.loops) +
           ", fade " + fade + " s";
}

Status RenderToFile(Renderer& renderer, int rate, const sv::SongShape& shape,
                    const std::string& path, SoundFileType type, ProgressControl* progress,
                    const SoundTags& tags) {
    if (type == SoundFileType::Unknown) {
        return Status::WriteFailed(path, "no sound file format has that extension");
    }
    sv::OutputFile out;
    // The target is checked before the rendering, which may take a while.
    if (Status created = out.Create(path); !created) {
        return created;
    }
    std::vector<float> samples = sv::RenderWhole(renderer, rate, shape, progress, nullptr);
    sv::LimitPeaks(samples, rate);
    SoundTags tagged = tags;
    if (type != SoundFileType::Wav) {
        LoudnessMeter meter(rate, false);
        meter.Add(samples);
        const Comments gain = TrackGainTags(meter);
        tagged.extra.insert(tagged.extra.end(), gain.begin(), gain.end());
    }
    std::vector<std::uint8_t> bytes;
    if (!EncodeSound(samples, rate, type, tagged, bytes)) {
        return Status::WriteFailed(path, "the sound could not be encoded");
    }
    (void)out.Write(bytes.data(), bytes.size()); // a failed write is Commit's to report
    return out.Commit();
}

} // namespace sv
