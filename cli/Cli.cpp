#include "Cli.h"

#include "archive/GameData.h"
#include "audio/Synthesizer.h"
#include "io/OutputFile.h"
#include "io/Paths.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace sv {
namespace {

bool IsLiteralSetting(std::string_view line) {
    constexpr std::string_view kLiteral = "Literal setting: ";
    return line.substr(0, kLiteral.size()) == kLiteral;
}

// Set before the handlers are installed; the handler may not ask.
bool g_barOnTerminal = false;
std::atomic<bool> g_deferred{false};
std::atomic<bool> g_interrupted{false};
volatile std::sig_atomic_t g_signal = 0;
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
    g_signal = signal;
    if (g_deferred.load()) {
        g_interrupted.store(true);
        return;
    }
    RemoveTemporaryFiles();
#ifndef _WIN32
    if (g_barOnTerminal) {
        // The shell's prompt should not land after half a progress bar.
        constexpr char kClearLine[] = "\r\033[K";
        (void)!::write(STDERR_FILENO, kClearLine, sizeof kClearLine - 1);
    }
#endif
    _exit(128 + signal);
}

} // namespace

void Fail(const std::string& message) {
    std::cerr << message << '\n';
}

bool MakeFolder(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::path path = ToPath(folder);
    std::filesystem::create_directories(path, ec);
    // An existing file in the way reads as "File exists", which hides what is wrong.
    if (std::filesystem::exists(path) && !std::filesystem::is_directory(path)) {
        ec = std::make_error_code(std::errc::not_a_directory);
    }
    if (ec) {
        Fail(Status::WriteError(folder, ec.value()).Message());
        return false;
    }
    return true;
}

bool MakeFolderFor(const std::string& file) {
    if (file == "-") {
        return true;
    }
    const std::size_t sep = LastSeparator(file);
    return sep == std::string::npos || sep == 0 || MakeFolder(file.substr(0, sep));
}

std::string DefaultWorkFolder() {
    // A relative XDG_DATA_HOME is to be ignored.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return JoinPath(data, "sonvault");
    }
    const char* home = std::getenv("HOME");
    return JoinPath(JoinPath(home != nullptr ? home : "", ".local/share"), "sonvault");
}

void AddFolderOptions(CLI::App& cmd, FolderOptions& options) {
    cmd.add_option("--work", options.work,
                   "Work folder, where a missing sound archive is rebuilt; created when missing "
                   "(default: $XDG_DATA_HOME/sonvault, i.e. ~/.local/share/sonvault)");
    cmd.add_flag("--verbose", options.verbose,
                 "Show the explode decoder's lines while a sound archive is rebuilt");
}

int OpenGameFolder(GameData& data, const std::string& folder, const FolderOptions& options,
                   ProgressControl& progress) {
    const std::string work = options.work.empty() ? DefaultWorkFolder() : options.work;
    if (!MakeFolder(work)) {
        return kFailed;
    }
    data.SetProgressControl(&progress);
    data.SetWorkFolder(work);
    data.SetDecoderLines([verbose = options.verbose](std::string_view line) {
        if (verbose || !IsLiteralSetting(line)) {
            DecoderLine(stderr, line);
        }
    });
    const Status opened = data.Open(folder);
    if (opened) {
        return kDone;
    }
    if (opened.DecoderFatal()) {
        return kFatal;
    }
    Fail("Failed to open Arena2 folder.");
    Fail(opened.Message());
    return kFailed;
}

void DecoderLine(std::FILE* to, std::string_view line) {
    static const bool barOnTerminal = isatty(fileno(stderr)) != 0;
    // A line that cannot be written has nowhere better to be reported.
    if (barOnTerminal) {
        (void)std::fputs("\r\033[K", stderr);
        (void)std::fflush(stderr);
    }
    (void)std::fwrite(line.data(), 1, line.size(), to);
    (void)std::fflush(to);
}

void InstallInterruptHandlers() {
    g_barOnTerminal = isatty(fileno(stderr)) != 0;
#ifdef _WIN32
    for (const int signal : {SIGINT, SIGTERM}) {
        (void)std::signal(signal, OnInterrupt);
    }
#else
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        (void)sigaddset(&action.sa_mask, signal);
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        (void)sigaction(signal, &action, nullptr);
    }
#endif
}

DeferInterrupts::DeferInterrupts() {
    g_deferred.store(true);
}

DeferInterrupts::~DeferInterrupts() {
    g_deferred.store(false);
}

const std::atomic<bool>& DeferInterrupts::Interrupted() {
    return g_interrupted;
}

int DeferInterrupts::Status() {
    return 128 + static_cast<int>(g_signal);
}

TerminalProgress::TerminalProgress(std::string label, Form form)
    : m_label(std::move(label)), m_form(form), m_terminal(isatty(fileno(stderr)) != 0) {}

TerminalProgress::~TerminalProgress() {
    Hide();
}

void TerminalProgress::Show() {
    m_visible = true;
    m_lastPercent = -1;
    m_start = std::chrono::steady_clock::now();
    Draw();
}

void TerminalProgress::SetRange(std::int32_t low, std::int32_t high) {
    m_low = low;
    m_high = high;
    m_lastPercent = -1;
    Draw();
}

void TerminalProgress::SetPos(std::int32_t pos) {
    m_pos = pos;
    Draw();
}

void TerminalProgress::Hide() {
    if (m_visible && m_terminal) {
        (void)std::fputs("\r\033[K", stderr);
        (void)std::fflush(stderr);
    }
    m_visible = false;
}

void TerminalProgress::Draw() {
    if (!m_visible || !m_terminal) {
        return;
    }
    if (m_form == Form::Bar) {
        DrawBar();
    } else {
        DrawCount();
    }
}

void TerminalProgress::DrawBar() {
    const double span = static_cast<double>(m_high) - m_low;
    double fraction = span > 0 ? (static_cast<double>(m_pos) - m_low) / span : 0.0;
    fraction = fraction < 0 ? 0 : (fraction > 1 ? 1 : fraction);
    const int percent = static_cast<int>(fraction * 100);
    if (percent == m_lastPercent) {
        return;
    }
    m_lastPercent = percent;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, '.');
    (void)std::fprintf(stderr, "\r%s [%s] %3d%%", m_label.c_str(), bar.c_str(), percent);
    (void)std::fflush(stderr);
}

void TerminalProgress::DrawCount() {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_start)
            .count();
    (void)std::fprintf(stderr, "\r\033[K%s: %d/%d, %lld s", m_label.c_str(), m_pos, m_high,
                       static_cast<long long>(seconds));
    (void)std::fflush(stderr);
}

std::string SoundFontFailure(const std::string& path) {
    if (!path.empty()) {
        return SoundFontProblem(path);
    }
    std::string places;
    for (const std::string& candidate : DefaultSoundFontCandidates()) {
        places += (places.empty() ? "" : ", ") + candidate;
    }
    return "No General MIDI SoundFont could be loaded (looked for " + places +
           "); name one with --soundfont.";
}

void AddVoiceOption(CLI::App& command, SongVoice& voice) {
    AddWordOption(command, "--voice", voice,
                  {{"soundfont", SongVoice::SoundFont}, {"fm", SongVoice::Fm}},
                  "What plays songs: soundfont (General MIDI, the default) or fm (an emulated "
                  "OPL3 chip)");
}

void AddShapeOptions(CLI::App& command, SongShape& shape) {
    command.add_option("--loops", shape.loops, "Play a song N times back to back (default 1)")
        ->check(CLI::Range(1, 100));
    command
        .add_option("--fade", shape.fadeSeconds,
                    "Fade out the last SECONDS of the last pass (default 0)")
        ->check(CLI::Range(0.0, 600.0));
}

} // namespace sv
