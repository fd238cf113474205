// explode INPUT OUTPUT [--offset N] [--limit N]: one implode stream from byte N of INPUT into
// OUTPUT, with the decoder's lines on standard output.
#include "Cli.h"
#include "decode/Explode.h"
#include "io/File.h"
#include "io/OutputFile.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

namespace sv {
namespace {

struct ExplodeOptions {
    std::string input;
    std::string output;
    std::uint64_t offset = 0;
    std::uint64_t limit = 1048576;
};

// Every token that yields bytes takes at least 8 bits and yields at most 518 bytes, so no stream
// of n bytes decodes to more than 518 * n: the buffer never needs to be larger.
constexpr std::uint64_t kMostBytesPerByte = 518;

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
    const std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow)
                                                     std::uint8_t[std::max(capacity, 1u)]);
    if (!buffer) {
        Fail("Not enough memory for " + std::to_string(capacity) + " bytes of output.");
        return kFailed;
    }
    if (!MakeFolderFor(options.output)) {
        return kFailed;
    }
    OutputFile out;
    if (const Status created = out.Create(options.output); !created) {
        Fail(created.Message());
        return kFailed;
    }

    tcBitstream bits(in);
    Exploder exploder(&bits, [](std::string_view line) { DecoderLine(stdout, line); });
    if (exploder.Status() != ExplodeStatus::kOk) {
        return kFatal; // the output is discarded with `out`
    }
    std::uint32_t count = 0;
    exploder.Decode(buffer.get(), count, capacity);
    (void)out.Write(buffer.get(), count); // a failed write is Commit's to report
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
