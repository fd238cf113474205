// Shared pieces of the command-line tool: exit statuses, the commands' registration, and the
// progress bar drawn on standard error.
#pragma once

#include "io/ProgressControl.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

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

// One line on standard error.
void Fail(const std::string& message);

// Writes one of the explode decoder's lines (newline included) to `to`, first clearing a progress
// bar that may be drawn on the terminal.
void DecoderLine(std::FILE* to, std::string_view line);

// Opens a game folder as the application does: the work folder is `work`, or the current
// directory when it is empty; a missing sound archive is rebuilt there with a progress bar, the
// decoder's lines going to standard error. kDone; kFatal when the rebuild met a fatal condition
// of the decoder; else kFailed after printing "Failed to open Arena2 folder.".
int OpenGameFolder(GameData& data, const std::string& folder, const std::string& work,
                   ProgressControl& progress);

// A bar on standard error, drawn only when standard error is a terminal; silent otherwise.
class TerminalProgress final : public ProgressControl {
public:
    explicit TerminalProgress(std::string label);
    ~TerminalProgress() override;
    void Show() override;
    void SetRange(std::int32_t low, std::int32_t high) override;
    void SetPos(std::int32_t pos) override;
    void Hide() override;

private:
    void Draw();

    std::string m_label;
    bool m_terminal;
    bool m_visible = false;
    std::int32_t m_low = 0;
    std::int32_t m_high = 0;
    std::int32_t m_pos = 0;
    int m_lastPercent = -1;
};

} // namespace sv
