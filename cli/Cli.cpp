#include "Cli.h"

#include "archive/GameData.h"
#include "io/Paths.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace sv {

void Fail(const std::string& message) {
    std::cerr << message << '\n';
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

int OpenGameFolder(GameData& data, const std::string& folder, const std::string& work,
                   ProgressControl& progress) {
    data.SetProgressControl(&progress);
    data.SetWorkFolder(work.empty() ? FromPath(std::filesystem::current_path()) : work);
    data.SetDecoderLines([](std::string_view line) { DecoderLine(stderr, line); });
    if (!data.Open(folder)) {
        if (data.HitFatalCondition()) {
            return kFatal;
        }
        Fail("Failed to open Arena2 folder.");
        return kFailed;
    }
    return kDone;
}

TerminalProgress::TerminalProgress(std::string label)
    : m_label(std::move(label)), m_terminal(isatty(fileno(stderr)) != 0) {}

TerminalProgress::~TerminalProgress() {
    Hide();
}

void TerminalProgress::Show() {
    m_visible = true;
    m_lastPercent = -1;
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

} // namespace sv
