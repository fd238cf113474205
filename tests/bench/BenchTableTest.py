"""scripts/bench-table on a made-up run: best of the repetitions, ratios in the right direction,
goals judged, aggregates and failures not taken for figures, missing programs told apart."""
import importlib.machinery
import importlib.util
import json
import os
import sys
import tempfile
import unittest

SCRIPT = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(__file__), "..", "..", "scripts", "bench-table")
loader = importlib.machinery.SourceFileLoader("bench_table", SCRIPT)
found = importlib.util.spec_from_loader("bench_table", loader)
table_module = importlib.util.module_from_spec(found)
loader.exec_module(table_module)


def run(name, seconds, unit="ms", cpu=None, **extra):
    scale = {"ms": 1e3, "us": 1e6}[unit]
    return [dict({"name": name, "run_name": name, "run_type": "iteration",
                  "real_time": s * scale, "cpu_time": (cpu or s) * scale, "time_unit": unit},
                 **extra) for s in seconds]


def aggregate(name):
    # Aggregates repeat the name with a wrong figure: they must never be read as a run.
    return {"name": name + "_mean", "run_name": name, "run_type": "aggregate",
            "aggregate_name": "mean", "real_time": 0.001, "time_unit": "ms"}


PROCESS = (run("explode_cli/sonvault/iterations:1/manual_time", [0.30, 0.20, 0.25],
               processor_s=0.15)
           + [aggregate("explode_cli/sonvault/iterations:1/manual_time")]
           + run("explode_cli/stormlib/iterations:1/manual_time", [0.45, 0.40],
                 processor_s=0.35)
           + run("explode_cli/write_alone/iterations:1/manual_time", [0.10])
           + [{"name": "export_cli/sonvault/iterations:1/manual_time",
               "run_name": "export_cli/sonvault/iterations:1/manual_time",
               "run_type": "iteration", "error_occurred": True,
               "error_message": "failed: sonvault-cli export"}]
           + run("export_cli/cp/iterations:1/manual_time", [0.05]))
# In memory the table reads processor time: elapsed time here would make ours the slower.
CONVERT = (run("convert_songs/sonvault", [0.003], cpu=0.001, items_per_second=130000.0,
               bytes_per_second=5e8)
           + run("convert_songs/wildmidi", [0.002]))


class BenchTableTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.folder = cls.scratch.name
        for name, benchmarks in (("process_bench", PROCESS), ("convert_bench", CONVERT)):
            with open(os.path.join(cls.folder, name + ".json"), "w", encoding="utf-8") as f:
                json.dump({"context": {"load_avg": [0.5, 0.4, 0.3]},
                           "benchmarks": benchmarks}, f)
        with open(os.path.join(cls.folder, "broken.json"), "w", encoding="utf-8") as f:
            f.write("{ not json")
        cls.table = table_module.build(cls.folder)
        cls.rows = {r["job"]: r for r in cls.table["rows"]}

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def row(self, prefix):
        matches = [r for job, r in self.rows.items() if job.startswith(prefix)]
        self.assertEqual(len(matches), 1, prefix)
        return matches[0]

    def test_rows(self):
        cases = [
            # job prefix, ours, peer, ratio, met
            ("explode end to end", "200 ms (±50%, 3 runs)", "400 ms (±12%, 2 runs)",
             "2.00x faster", "yes"),
            ("song conversion", "1 ms, 130000 songs/s, 500.0 MB/s (±0%, 1 runs)",
             "2 ms (±0%, 1 runs)", "2.00x faster", "no"),
            ("bulk export of the full-size folder (CLI)", "failed", "50 ms (±0%, 1 runs)", "-",
             "-"),
            ("rebuild of the full-size", "not yet built", "not yet built", "-", "-"),
            ("render one song", "not run", "not run", "-", "-"),
        ]
        for prefix, ours, peer, ratio, met in cases:
            with self.subTest(prefix):
                r = self.row(prefix)
                self.assertEqual((r["ours"], r["peer"], r["ratio"], r["met"]),
                                 (ours, peer, ratio, met))

    def test_notes(self):
        note = self.row("explode end to end")["note"]
        self.assertIn("least processor time: ours 150 ms, the peer's 350 ms", note)
        self.assertIn("no decoding: 100 ms", note)
        self.assertIn("failed: sonvault-cli export", self.row("bulk export of the full")["note"])

    def test_judge(self):
        ours, peer = {"seconds": 1.3}, {"seconds": 1.0}
        cases = [
            ({"kind": "overhead", "goal": 0.2}, ours, peer, ("+30%", False)),
            ({"kind": "slower", "goal": 1.5}, ours, peer, ("1.30x the peer's time", True)),
            ({"kind": "slower", "goal": 2.0, "limit": 0.3}, ours, peer,
             ("1.30x the peer's time", False)),
            ({"kind": "limit", "goal": 0.05}, {"seconds": 0.04}, None, ("-", True)),
            ({"kind": "faster", "goal": 1.0}, ours, None, ("-", None)),
        ]
        for row, o, p, (ratio, met) in cases:
            with self.subTest(row=row, ours=o):
                got = table_module.judge(row, o, p)
                self.assertEqual((got[0], got[2]), (ratio, met))

    def test_markdown(self):
        text = table_module.markdown(self.table)
        self.assertIn("load average at start 0.50, 0.40, 0.30", text)
        lines = [l for l in text.splitlines() if l.startswith("| ")]
        self.assertEqual(len(lines), 1 + len(table_module.ROWS))  # the header, then every job
        self.assertTrue(all(l.count("|") == 8 for l in lines))


if __name__ == "__main__":
    unittest.main()
