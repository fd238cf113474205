// The main window offscreen, on the full-size demo folder (130 songs, 450 effects) remembered as
// the game folder:
//  - StartUpToWindowShown: a fresh process (this program started again as a probe) from the
//    fork to the main window's first paint, the folder opened and the tree filled.
//    StartUpEmptyQtWidget is its floor: the same probe showing an empty QWidget instead, what the
//    toolkit alone costs to start. Counters: the
//    process's peak resident memory when the window is shown, and by the time it has ended
//    (the player's SoundFont, loaded on a worker thread from start-up on, is in that one), and
//    the processor time the user-interface thread spent until the window was shown (exec and
//    library loading included), which a busy machine does not inflate as it does the wall time.
//  - SelectionToFirstSample/song and /effect: a song (extracted, converted, read by the player)
//    or an effect selected in the tree until the first block of samples is handed to the sink,
//    the SoundFont already loaded. The benchmark pulls the block as the sound card would.
#include "app/main/MainDialog.h"
#include "app/main/PlayerApp.h"
#include "app/player/CMediaPlayer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kProbe = "--start-up-probe";
const char* const kEmptyProbe = "--empty-widget-probe";
const QString kFullDemo = QStringLiteral(SONVAULT_DEMO_DIR "/Arena2-full");
constexpr int kSinkFrames = 44100 * 50 / 1000; // the sink's 50 ms buffer

double MiB(long kilobytes) {
    return static_cast<double>(kilobytes) / 1024.0;
}

// A settings folder remembering the full demo folder, and an empty work folder.
struct Profile {
    QTemporaryDir dir;
    QString config = dir.filePath("config");
    QString work = dir.filePath("work");
    Profile() {
        QDir().mkpath(config + "/Merrow Applications");
        QDir().mkpath(work);
        QSettings settings(config + "/Merrow Applications/Sonvault.conf", QSettings::IniFormat);
        settings.setValue("StartupValues/PreviousArena2Path", kFullDemo);
    }
};

bool FullDemoPresent(benchmark::State& state) {
    if (!QFile::exists(kFullDemo + "/MIDI.BSA")) {
        state.SkipWithError("no full-size demo folder: build the demo_data_full target");
        return false;
    }
    return true;
}

class FirstPaint final : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        painted = painted || event->type() == QEvent::Paint;
        return false;
    }
};

// The child: start up as the program does (or show an empty widget, for the floor) and report
// the peak memory and the user-interface thread's processor time once the window is painted.
int Probe(int argc, char** argv, bool empty) {
    QApplication application(argc, argv);
    std::optional<sv::PlayerApp> app;
    std::unique_ptr<QWidget> window;
    if (empty) {
        window = std::make_unique<QWidget>();
    } else {
        app.emplace();
        window = std::make_unique<sv::MainDialog>();
    }
    FirstPaint watch;
    window->installEventFilter(&watch);
    window->show();
    while (!watch.painted) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    rusage thread{};
    getrusage(RUSAGE_THREAD, &thread);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    std::printf("%ld %.3f\n", usage.ru_maxrss, ms(thread.ru_utime) + ms(thread.ru_stime));
    std::fflush(stdout);
    return 0;
}

void StartUp(benchmark::State& state, const char* probe) {
    if (!FullDemoPresent(state)) {
        return;
    }
    double shownPeakMiB = 0;
    double endPeakMiB = 0;
    Profile profile;
    const QByteArray config = profile.config.toLocal8Bit();
    const QByteArray work = profile.work.toLocal8Bit();
    const QByteArray self = QCoreApplication::applicationFilePath().toLocal8Bit();
    double cpuMs = 0;
    for (auto _ : state) {
        int out[2];
        if (pipe(out) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            close(out[1]);
            if (chdir(work.constData()) != 0) {
                _exit(3);
            }
            setenv("XDG_CONFIG_HOME", config.constData(), 1);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            execl(self.constData(), self.constData(), probe, static_cast<char*>(nullptr));
            _exit(4);
        }
        close(out[1]);
        char line[64] = {};
        const ssize_t got = read(out[0], line, sizeof line - 1);
        const auto shown = std::chrono::steady_clock::now();
        close(out[0]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the probe failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
        long peak = 0;
        double cpu = 0;
        if (std::sscanf(line, "%ld %lf", &peak, &cpu) != 2) {
            state.SkipWithError("the probe said nothing");
            return;
        }
        shownPeakMiB = std::max(shownPeakMiB, MiB(peak));
        cpuMs += cpu;
        endPeakMiB = std::max(endPeakMiB, MiB(usage.ru_maxrss));
    }
    state.counters["peak_MiB_shown"] = shownPeakMiB;
    state.counters["ui_thread_cpu_ms"] =
        cpuMs / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["peak_MiB_end"] = endPeakMiB;
}

void StartUpToWindowShown(benchmark::State& state) {
    StartUp(state, kProbe);
}
BENCHMARK(StartUpToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void StartUpEmptyQtWidget(benchmark::State& state) {
    StartUp(state, kEmptyProbe);
}
BENCHMARK(StartUpEmptyQtWidget)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// root: 0 the effects, 1 the songs.
void SelectionToFirstSample(benchmark::State& state, int root) {
    if (!FullDemoPresent(state)) {
        return;
    }
    Profile profile;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.config);
    QDir::setCurrent(profile.work);
    sv::MainDialog dialog;
    sv::CMediaPlayer& player = *dialog.Player();
    while (player.IsLoadingSoundFont()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QTreeWidgetItem* entries = dialog.Tree()->topLevelItem(root);
    if (player.Engine().WaitingForSoundFont() || entries == nullptr ||
        entries->childCount() < 2) {
        state.SkipWithError("no SoundFont, or no entries");
        return;
    }
    std::vector<float> block(static_cast<std::size_t>(kSinkFrames) * sv::kChannels);
    int next = 0;
    for (auto _ : state) {
        QTreeWidgetItem* entry = entries->child(next++ % entries->childCount());
        const auto start = std::chrono::steady_clock::now();
        dialog.Tree()->setCurrentItem(entry);
        player.Engine().Pull(block.data(), kSinkFrames);
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(block.data());
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    QDir::setCurrent(QDir::tempPath());
}
BENCHMARK_CAPTURE(SelectionToFirstSample, effect, 0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SelectionToFirstSample, song, 1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], kProbe) == 0 || std::strcmp(argv[1], kEmptyProbe) == 0)) {
        return Probe(argc, argv, std::strcmp(argv[1], kEmptyProbe) == 0);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
