// Shared pieces of the command-line tool: exit statuses, the commands' registration, the one
// style of failure message, the folders it makes, the interrupt path and the progress bar drawn
// on standard error.
#pragma once

#include "audio/Mastering.h"
#include "export/SoundRender.h"
#include "io/ProgressControl.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sv {

class GameData;

enum Exit : int {
    kDone = 0,
    kFailed = 1,
    kFatal = 2, // a fatal condition of the explode decoder
    kUsage = 64,
};

// Each command adds its subcommand and sets the action that main runs after parsing.
using Action = std::function<int()>;
void AddListCommand(CLI::App& app, Action& action);
void AddConvertCommand(CLI::App& app, Action& action);
void AddExtractCommand(CLI::App& app, Action& action);
void AddExportCommand(CLI::App& app, Action& action);
void AddExplodeCommand(CLI::App& app, Action& action);
void AddRebuildCommand(CLI::App& app, Action& action);
void AddRenderCommand(CLI::App& app, Action& action);

// An option that takes one of a few words (any letter case) for an enum: shown in --help as
// "a|b|c", and a word not among them is refused by naming them, where CLI11's own check would list
// the enum's numbers.
template <class Enum>
CLI::Option* AddWordOption(CLI::App& command, const std::string& name, Enum& value,
                           const std::vector<std::pair<std::string, Enum>>& words,
                           const std::string& description) {
    std::string names;
    for (const auto& word : words) {
        names += (names.empty() ? "" : "|") + word.first;
    }
    const CLI::Validator oneOf(
        [words, names](std::string& text) -> std::string {
            for (const auto& [word, meaning] : words) {
                if (CLI::detail::to_lower(text) == word) {
                    text = std::to_string(static_cast<int>(meaning));
                    return {};
                }
            }
            return "\"" + text + "\" is not one of " + names;
        },
        names);
    return command.add_option(name, value, description)->transform(oneOf)->option_text(names);
}

// --loops N and --fade SECONDS, as render and the audio export take them.
void AddShapeOptions(CLI::App& command, SongShape& shape);
// --voice soundfont|fm.
void AddVoiceOption(CLI::App& command, SongVoice& voice);
// --voice, --soundfont, --rate and the shape options, as render and extract take them.
void AddRenderOptions(CLI::App& command, RenderSettings& settings);

// The line that says why no SoundFont could be loaded: why the one at `path` did not, or, with
// none, where the system's General MIDI SoundFont was looked for.
std::string SoundFontFailure(const std::string& path);

// One line on standard error.
void Fail(const std::string& message);

// Creates the folder and its parents when missing. False after saying why it could not be.
bool MakeFolder(const std::string& folder);
// Creates the folder a file is to be written into; a bare file name and "-" (standard output)
// need none.
bool MakeFolderFor(const std::string& file);

// $XDG_DATA_HOME/sonvault, else ~/.local/share/sonvault: the work folder the desktop application
// uses too, so that a rebuilt sound archive is shared.
std::string DefaultWorkFolder();

// The options of the commands that open a game folder.
struct FolderOptions {
    std::string work;
    bool verbose = false;
};
void AddFolderOptions(CLI::App& cmd, FolderOptions& options);

// Opens a game folder as the application does, in the work folder of the options (created when
// missing); a missing sound archive is rebuilt there with a progress bar. The decoder's lines
// reach standard error only with --verbose, its fatal lines always. kDone; kFatal when the rebuild
// met a fatal condition of the decoder; else kFailed after "Failed to open Arena2 folder." and a
// line that names the file at fault.
int OpenGameFolder(GameData& data, const std::string& folder, const FolderOptions& options,
                   ProgressControl& progress);

// Writes one of the explode decoder's lines (newline included) to `to`, first clearing a progress
// bar that may be drawn on the terminal.
void DecoderLine(std::FILE* to, std::string_view line);

// On SIGINT, SIGTERM and SIGHUP (SIGINT and SIGTERM on Windows): the temporary files being
// written are removed and the process exits with 128 + the signal number.
void InstallInterruptHandlers();

// While one lives, a signal only sets Interrupted(), so that work on other threads (the
// soundtrack's workers) can stop between blocks and discard what it was writing.
class DeferInterrupts final {
public:
    DeferInterrupts();
    ~DeferInterrupts();
    DeferInterrupts(const DeferInterrupts&) = delete;
    DeferInterrupts& operator=(const DeferInterrupts&) = delete;

    static const std::atomic<bool>& Interrupted();
    // 128 + the signal that came.
    static int Status();
};

// Progress on standard error, drawn only when standard error is a terminal; silent otherwise.
// A bar ("LABEL [#####.....]  42%") or a count with the time taken ("LABEL: 3/15, 12 s").
class TerminalProgress final : public ProgressControl {
public:
    enum class Form { Bar, Count };
    explicit TerminalProgress(std::string label, Form form = Form::Bar);
    ~TerminalProgress() override;
    void Show() override;
    void SetRange(std::int32_t low, std::int32_t high) override;
    void SetPos(std::int32_t pos) override;
    void Hide() override;

private:
    void Draw();
    void DrawBar();
    void DrawCount();

    std::string m_label;
    Form m_form;
    bool m_terminal;
    bool m_visible = false;
    std::int32_t m_low = 0;
    std::int32_t m_high = 0;
    std::int32_t m_pos = 0;
    int m_lastPercent = -1;
    std::chrono::steady_clock::time_point m_start;
};

} // namespace sv
