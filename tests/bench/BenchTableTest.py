"""scripts/bench-table on a made-up run: best of the repetitions, ratios the right way round, goals
judged, aggregates, failures and broken files not read as figures, missing programs told apart."""
import importlib.machinery, importlib.util, json, os, sys, tempfile, unittest

SCRIPT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(__file__), "..", "..", "scripts", "bench-table")
loader = importlib.machinery.SourceFileLoader("bench_table", SCRIPT)
table_module = importlib.util.module_from_spec(importlib.util.spec_from_loader("bench_table", loader))
loader.exec_module(table_module)


def run(name, seconds, cpu=None, **extra):
    return [dict(name=name + "/iterations:1/manual_time", run_type="iteration", real_time=s * 1e3,
                 cpu_time=(cpu or s) * 1e3, time_unit="ms", **extra) for s in seconds]


RUNS = {
    "process_bench": run("explode_cli/sonvault", [0.30, 0.20, 0.25], processor_s=0.15)
    # An aggregate repeats the name with a figure that must never be read as a run.
    + [dict(name="explode_cli/sonvault_mean", run_name="explode_cli/sonvault",
            run_type="aggregate", real_time=0.001, time_unit="ms")]
    + run("explode_cli/stormlib", [0.45, 0.40], processor_s=0.35)
    + run("explode_cli/write_alone", [0.10])
    + [dict(name="export_cli/sonvault", error_occurred=True, error_message="failed: export")]
    + run("export_cli/cp", [0.05]),
    # In memory the table reads processor time: the elapsed time would make ours the slower.
    "convert_bench": run("convert_songs/sonvault", [0.003], cpu=0.001, items_per_second=1.3e5)
    + run("convert_songs/wildmidi", [0.002]),
    "broken": "{ not json",
}


class BenchTableTest(unittest.TestCase):
    def test_table(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, runs in RUNS.items():
                with open(os.path.join(folder, name + ".json"), "w", encoding="utf-8") as f:
                    f.write(runs if isinstance(runs, str) else json.dumps(
                        {"context": {"load_avg": [0.5, 0.4, 0.3]}, "benchmarks": runs}))
            table = table_module.build(folder)
        rows = {r["job"].split(",")[0]: r for r in table["rows"]}
        cases = [  # job up to its first comma, ours, peer, ratio, met, note
            ("explode end to end", "200 ms (±50%, 3 runs)", "400 ms (±12%, 2 runs)", "2.00x faster",
             "yes", "least processor time: ours 150 ms, the peer's 350 ms; the C program "
                    "reading the 16 MiB output and writing it again, no decoding: 100 ms"),
            ("song conversion", "1 ms, 130000 songs/s (±0%, 1 runs)", "2 ms (±0%, 1 runs)",
             "2.00x faster", "no", ""),
            ("bulk export of the full-size folder (CLI)", "failed", "50 ms (±0%, 1 runs)", "-", "-",
             "failed: export"),
            ("rebuild of the full-size PACKED.DAT", "not yet built", "not yet built", "-", "-", ""),
            ("render one song to WAV", "not run", "not run", "-", "-", ""),
        ]
        for job, *expected in cases:
            r = rows[job]
            self.assertEqual([r["ours"], r["peer"], r["ratio"], r["met"], r["note"]], expected, job)
        text = table_module.markdown(table)
        self.assertIn("load average at start 0.50, 0.40, 0.30", text)
        lines = [line for line in text.splitlines() if line.startswith("| ")]
        self.assertEqual(len(lines), 1 + len(table_module.ROWS))  # the header, then every job
        self.assertTrue(all(line.count("|") == 8 for line in lines))

    def test_judge(self):
        ours, peer, judge = {"seconds": 1.3}, {"seconds": 1.0}, table_module.judge
        self.assertEqual(judge({"kind": "overhead", "goal": 0.2}, ours, peer),
                         ("+30%", "<= +20%", False))
        self.assertEqual(judge({"kind": "slower", "goal": 1.5}, ours, peer),
                         ("1.30x the peer's time", "<= 1.5x the peer's time", True))
        self.assertEqual(judge({"kind": "slower", "goal": 2.0, "limit": 0.3}, ours, peer),
                         ("1.30x the peer's time", "<= 300 ms; <= 2x the peer's time", False))
        self.assertEqual(judge({"kind": "limit", "goal": 0.05}, {"seconds": 0.06}, None),
                         ("-", "<= 50 ms", False))


if __name__ == "__main__":
    unittest.main()
