// A bulk export of the full-size demo game folder three ways, side by side, each into a fresh
// folder: the desktop export run with a progress bar that repaints after every record
// (offscreen), `sonvault-cli export`, and `cp -r` of the very files the export writes. The goals:
// the window within 1.2 times the command, the command within 1.5 times the copy.
#include "DemoData.h"
#include "archive/GameData.h"
#include "export/dialog/ExportRun.h"
#include "io/Paths.h"

#include <QApplication>
#include <QProgressBar>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

namespace fs = std::filesystem;

// A folder removed again when the program ends.
struct TemporaryFolder {
    TemporaryFolder() {
        std::random_device seed;
        path = fs::temp_directory_path() / ("sonvault-bench-" + std::to_string(seed()));
        fs::create_directories(path);
    }
    ~TemporaryFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

TemporaryFolder& Scratch() {
    static TemporaryFolder folder;
    return folder;
}

std::string DemoFolder() {
    static std::string folder = [] {
        std::string f = sv::JoinPath(SONVAULT_DEMO_DIR, "Arena2-full");
        if (!fs::exists(sv::ToPath(sv::ResolveCase(sv::JoinPath(f, "midi.bsa"))))) {
            f = sv::FromPath(Scratch().path / "Arena2-full");
            demo::WriteDemoFolder(f, {.full = true});
        }
        return f;
    }();
    return folder;
}

// A fresh, empty output folder with "fx" and "music" in it, made outside the timing.
std::string FreshOutput(benchmark::State& state, bool withSubfolders) {
    state.PauseTiming();
    const fs::path out = Scratch().path / "out";
    std::error_code ec;
    fs::remove_all(out, ec);
    if (withSubfolders) {
        fs::create_directories(out / "fx");
        fs::create_directories(out / "music");
    }
    // Earlier runs' dirty pages must not be written back inside the next timing.
    (void)std::system("sync");
    state.ResumeTiming();
    return sv::FromPath(out);
}

std::uintmax_t TreeBytes(const fs::path& folder) {
    std::uintmax_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            bytes += e.file_size();
    return bytes;
}

// The main window's progress bar: shown, moved and repainted between records.
class BarProgress final : public sv::ProgressControl {
public:
    explicit BarProgress(QProgressBar& bar) : m_bar(bar) {}
    void Show() override { m_bar.show(); }
    void SetRange(std::int32_t low, std::int32_t high) override { m_bar.setRange(low, high); }
    void SetPos(std::int32_t pos) override {
        m_bar.setValue(pos);
        m_bar.repaint();
    }
    void Hide() override { m_bar.hide(); }

private:
    QProgressBar& m_bar;
};

void BM_WindowExport(benchmark::State& state) {
    sv::GameData data;
    data.SetWorkFolder(sv::FromPath(Scratch().path));
    if (!data.Open(DemoFolder())) {
        state.SkipWithError("the demo folder did not open");
        return;
    }
    QWidget window;
    window.resize(400, 300);
    QProgressBar bar(&window);
    bar.setGeometry(10, 260, 380, 20);
    window.show();
    BarProgress progress(bar);
    for (auto _ : state) {
        const std::string out = FreshOutput(state, true);
        sv::CarryOutExport(&window, std::nullopt,
                           {false, true, QString::fromStdString(out + "/fx"), true,
                            QString::fromStdString(out + "/music")},
                           data, progress);
    }
    state.counters["MB"] = static_cast<double>(TreeBytes(Scratch().path / "out")) / 1e6;
}
BENCHMARK(BM_WindowExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_CliExport(benchmark::State& state) {
    const std::string work = sv::FromPath(Scratch().path / "work");
    fs::create_directories(sv::ToPath(work));
    for (auto _ : state) {
        const std::string out = FreshOutput(state, true);
        const std::string command = std::string("'") + SONVAULT_CLI + "' export '" + DemoFolder() +
                                    "' --effects '" + out + "/fx' --songs '" + out +
                                    "/music' --work '" + work + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sonvault-cli export failed");
            return;
        }
    }
    state.counters["MB"] = static_cast<double>(TreeBytes(Scratch().path / "out")) / 1e6;
}
BENCHMARK(BM_CliExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_CopyExportedFiles(benchmark::State& state) {
    // The files to copy: one export, kept aside.
    const fs::path source = Scratch().path / "exported";
    if (!fs::exists(source)) {
        fs::create_directories(source / "fx");
        fs::create_directories(source / "music");
        fs::create_directories(Scratch().path / "work");
        const std::string command = std::string("'") + SONVAULT_CLI + "' export '" + DemoFolder() +
                                    "' --effects '" + sv::FromPath(source) + "/fx' --songs '" +
                                    sv::FromPath(source) + "/music' --work '" +
                                    sv::FromPath(Scratch().path / "work") + "' 2>/dev/null";
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sonvault-cli export failed");
            return;
        }
    }
    for (auto _ : state) {
        const std::string out = FreshOutput(state, false);
        const std::string command = "cp -r '" + sv::FromPath(source) + "' '" + out + "'";
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("cp failed");
            return;
        }
    }
    state.counters["MB"] = static_cast<double>(TreeBytes(Scratch().path / "out")) / 1e6;
}
BENCHMARK(BM_CopyExportedFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
