#!/usr/bin/env python3
"""Times the programs as whole processes, start to exit, as a user waits for them.

    scripts/time-processes.py [BUILD_FOLDER [SCRATCH_FOLDER [RUNS]]]

Defaults: build, a temporary folder, 11 runs. The programs timed are those of BUILD_FOLDER
(build-release for the shipped build). Writes its inputs once into SCRATCH_FOLDER (kept
there when it is given, so later calls reuse them) with the generators of build/bench/:
- build mode on a program of at least 100,000 lines made of copies of ../shared/corpus
  (skipped without the corpus), with the target and the program information already there
  from an earlier build, as the IDE's compile file is;
- tickscope-report loading a run of 20,000,000 entries (--threads-list: load, no report);
- tickscope-report loading the program information of a 1,000,000-line program.
Prints the median wall time, the rate and the peak resident memory of each. Timings are for
people to read on a quiet machine, never asserted by tests.
"""
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time


def run_once(command, stdin):
    environment = dict(os.environ)
    environment.pop("DISPLAY", None)  # build mode asks on the terminal
    start = time.perf_counter()
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=environment)
    process.stdin.write(stdin)
    process.stdin.close()
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"time-processes: {' '.join(command)} failed")
    return seconds, usage.ru_maxrss / 1024.0  # kilobytes on Linux


def measure(name, command, units, unit_name, input_bytes, runs, stdin=b""):
    run_once(command, stdin)  # warms the page cache and leaves the outputs in place
    times, peaks = zip(*(run_once(command, stdin) for _ in range(runs)))
    median = statistics.median(times)
    peak = max(peaks)
    print(f"{name}: median {median * 1000:.1f} ms (min {min(times) * 1000:.1f}), "
          f"{units / median / 1e6:.2f} M {unit_name}/s, peak {peak:.1f} MB = "
          f"{peak * 1024 * 1024 / input_bytes:.2f}x the input ({input_bytes / 1e6:.1f} MB)")


def folder_bytes(folder, suffixes):
    return sum(os.path.getsize(os.path.join(root, name))
               for root, _, names in os.walk(folder) for name in names
               if name.endswith(suffixes))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    scratch = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="tickscope-timing-")
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 11
    bench = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build", "bench")
    tickscope = os.path.join(build, "src", "tickscope")
    report = os.path.join(build, "tools", "tickscope-report")

    program = os.path.join(scratch, "program")
    if not os.path.exists(os.path.join(program, "main.pb")):
        subprocess.run([os.path.join(bench, "make_corpus_program"), program, "100000"])
    if os.path.exists(os.path.join(program, "main.pb")):
        lines = 0
        for root, _, names in os.walk(program):
            for name in names:
                with open(os.path.join(root, name), "rb") as source:
                    lines += source.read().count(b"\n")
        measure("build mode", [tickscope, os.path.join(program, "main.pb"),
                               os.path.join(scratch, "target.pb")],
                lines, "lines", folder_bytes(program, (".pb", ".pbi")), runs, b"y\n")
    else:
        print("build mode: skipped (no corpus to build the program from)")

    entries = 20000000
    runs_folder = os.path.join(scratch, "runs") + os.sep
    if not os.path.isdir(runs_folder):
        os.makedirs(runs_folder)
        subprocess.run([os.path.join(bench, "make_generated_runs"), runs_folder, "1",
                        str(entries)], check=True)
    run = next(os.path.join(runs_folder, name) for name in sorted(os.listdir(runs_folder))
               if name.endswith(".tkr"))
    measure("run loading", [report, "--threads-list", run], entries, "entries",
            folder_bytes(runs_folder, (".tkl",)), runs)

    information = os.path.join(scratch, "information")
    if not os.path.exists(os.path.join(information, "large.tkr")):
        subprocess.run([os.path.join(bench, "make_program_info_run"), information, "1000000"])
    if os.path.exists(os.path.join(information, "large.tkr")):
        large = os.path.join(information, "large.tkr")
        with open(large, "rb") as file:
            lines = file.read().count(b".SourceFileId = ")
        measure("program information", [report, "--threads-list", large], lines, "lines",
                os.path.getsize(large), max(3, runs // 3))
    else:
        print("program information: skipped (no corpus to build the program from)")


if __name__ == "__main__":
    main()
