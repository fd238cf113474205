// A bulk export of the full-size demo game folder three ways, side by side, each into a fresh
// folder: the export run of the main window (offscreen, its progress bar repainted after every
// record), `sonvault-cli export`, and `cp -r` of the very files the export writes. The goals:
// the window within 1.2 times the command, the command within 1.5 times the copy.
#include "BenchInputs.h"
#include "DemoData.h"
#include "app/main/MainDialog.h"
#include "export/dialog/ExportRun.h"
#include "io/Paths.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

fs::path Scratch() {
    return sv::ToPath(sv::bench::ScratchFolder());
}

std::string DemoFolder() {
    static std::string folder = [] {
        std::string f = sv::JoinPath(SONVAULT_DEMO_DIR, "Arena2-full");
        if (!fs::exists(sv::ToPath(sv::ResolveCase(sv::JoinPath(f, "midi.bsa"))))) {
            f = sv::FromPath(Scratch() / "Arena2-full");
            demo::WriteDemoFolder(f, {.full = true});
        }
        return f;
    }();
    return folder;
}

// A fresh, empty output folder with "fx" and "music" in it, made outside the timing.
std::string FreshOutput(benchmark::State& state, bool withSubfolders) {
    state.PauseTiming();
    const fs::path out = Scratch() / "out";
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

QString Q(const fs::path& path) {
    return QString::fromStdString(sv::FromPath(path));
}

void BM_WindowExport(benchmark::State& state) {
    // The main window as it starts on the demo folder: a remembered setting, a work folder.
    const fs::path config = Scratch() / "config";
    const fs::path work = Scratch() / "window-work";
    fs::create_directories(config / "Merrow Applications");
    fs::create_directories(work);
    {
        QSettings settings(Q(config / "Merrow Applications" / "Sonvault.conf"),
                           QSettings::IniFormat);
        settings.setValue("StartupValues/PreviousArena2Path", QString::fromStdString(DemoFolder()));
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Q(config));
    QDir::setCurrent(Q(work));
    sv::MainDialog window;
    window.show();
    if (!window.Data().IsOpen()) {
        state.SkipWithError("the demo folder did not open");
        return;
    }
    for (auto _ : state) {
        const std::string out = FreshOutput(state, true);
        sv::CarryOutExport(&window, std::nullopt,
                           {false, true, QString::fromStdString(out + "/fx"), true,
                            QString::fromStdString(out + "/music")},
                           window.Data(), window.Progress());
    }
    state.counters["MB"] = static_cast<double>(TreeBytes(Scratch() / "out")) / 1e6;
    QDir::setCurrent(QDir::tempPath());
}
BENCHMARK(BM_WindowExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_CliExport(benchmark::State& state) {
    const std::string work = sv::FromPath(Scratch() / "work");
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
    state.counters["MB"] = static_cast<double>(TreeBytes(Scratch() / "out")) / 1e6;
}
BENCHMARK(BM_CliExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(8);

void BM_CopyExportedFiles(benchmark::State& state) {
    // The files to copy: one export, kept aside.
    const fs::path source = Scratch() / "exported";
    if (!fs::exists(source)) {
        fs::create_directories(source / "fx");
        fs::create_directories(source / "music");
        fs::create_directories(Scratch() / "work");
        const std::string command = std::string("'") + SONVAULT_CLI + "' export '" + DemoFolder() +
                                    "' --effects '" + sv::FromPath(source) + "/fx' --songs '" +
                                    sv::FromPath(source) + "/music' --work '" +
                                    sv::FromPath(Scratch() / "work") + "' 2>/dev/null";
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
    state.counters["MB"] = static_cast<double>(TreeBytes(Scratch() / "out")) / 1e6;
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
