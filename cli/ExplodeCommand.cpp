// explode INPUT OUTPUT [--offset N] [--limit N]: one implode stream from byte N of INPUT into
// OUTPUT, with the decoder's lines on standard output.
#include "Cli.h"
#include "decode/Explode.h"
#include "io/BlockWriter.h"
#include "io/File.h"
#include "io/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace sv {
namespace {

struct ExplodeOptions {
    std::string input;
    std::string output;
    std::uint64_t offset = 0;
    std::uint64_t limit = 1048576;
};

// Every token that yields bytes takes at least 8 bits and yields at most 518 bytes, so no stream
// of n bytes decodes to more than 518 * n: the output never needs to be larger.
constexpr std::uint64_t kMostBytesPerByte = 518;
// The output is decoded a buffer at a time, each written on a second thread while the next one
// is decoded; a buffer this size stays in the cache between the two.
constexpr std::uint32_t kBuffer = 1u << 20;

int RunExplode(const ExplodeOptions& options) {
    const Result<FilePtr> opened = OpenForReading(options.input, false);
    if (!opened) {
        Fail(opened.Message());
        return kFailed;
    }
    std::FILE* in = opened->get();
    const std::int64_t length = FileLength(in);
    if (length < 0 || !SeekTo(in, options.offset)) {
        Fail(Status::ReadError(options.input, errno).Message());
        return kFailed;
    }
    const std::uint64_t remaining =
        static_cast<std::uint64_t>(length) > options.offset ? length - options.offset : 0;
    const auto capacity =
        static_cast<std::uint32_t>(std::min(options.limit, remaining * kMostBytesPerByte));
    const std::uint32_t bufferSize = std::clamp(capacity, 1u, kBuffer);
    OutputFile out;
    BlockWriter writer(out, bufferSize);
    if (!writer.Ready()) {
        Fail("Not enough memory for " + std::to_string(bufferSize) + " bytes of output.");
        return kFailed;
    }
    if (!MakeFolderFor(options.output)) {
        return kFailed;
    }
    if (const Status created = out.Create(options.output); !created) {
        Fail(created.Message());
        return kFailed;
    }

    tcBitstream bits(in);
    Exploder exploder(&bits, [](std::string_view line) { DecoderLine(stdout, line); });
    if (exploder.Status() != ExplodeStatus::kOk) {
        return kFatal; // the output is discarded with `out`
    }
    // A piece cut inside a match is finished by the next Decode, so the pieces join into the
    // bytes of one call with the whole capacity.
    std::uint32_t total = 0;
    bool more = true;
    while (more) {
        const auto want =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(capacity - total, writer.Room()));
        std::uint32_t count = 0;
        exploder.Decode(writer.Space(), count, want);
        total += count;
        more = count == want && total < capacity;
        if (!writer.Add(count, more ? 1 : 0)) {
            break;
        }
    }
    (void)writer.Finish(); // a failed write is Commit's to report
    if (const Status written = out.Commit(); !written) {
        Fail(written.Message());
        return kFailed;
    }
    return kDone;
}

} // namespace

void AddExplodeCommand(CLI::App& app, Action& action) {
    auto options = std::make_shared<ExplodeOptions>();
    CLI::App* cmd = app.add_subcommand("explode", "Decompress one PKWARE DCL implode stream");
    cmd->add_option("INPUT", options->input, "File holding the stream")->required();
    cmd->add_option("OUTPUT", options->output, "File to write the decompressed bytes to")
        ->required();
    cmd->add_option("--offset", options->offset, "Where the stream starts in INPUT (default 0)")
        ->check(CLI::Validator(
            [](const std::string& text) {
                return text.find('-') == std::string::npos ? std::string()
                                                           : std::string("must not be negative");
            },
            "NONNEGATIVE"));
    cmd->add_option("--limit", options->limit,
                    "Most bytes to produce, 1 to 2147483648 (default 1048576)")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{2147483648}));
    cmd->callback([options, &action] { action = [options] { return RunExplode(*options); }; });
}

} // namespace sv
