#!/usr/bin/env python3
"""Runs every subject's operations as whole processes and reports them side by side.

Each measured process (run_subject, or run_subject_unsynced for the operations that it lists
as unsynced) performs one operation on one file and prints the time of that step, its peak
resident memory and its minor page faults. Times are medians of several repetitions, taken in
turns so that the machine's noise falls on every subject alike; every figure is also shown as
a ratio against the operation's baseline subject on the same document. Instruction counts
come from callgrind, which counts only the measured step and is stable on a busy machine.
Given the Windows build, it also measures script hosts under Wine (wine/xml_objects.py).
"""

import argparse
import datetime
import functools
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time

# The harness runs from the source tree, which keeps no compiled modules.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "wine"))
import xml_objects  # noqa: E402

MIB = 1024 * 1024
HUGETLB = "glibc.malloc.hugetlb=1"
RUN_TIMEOUT = 900

FULL = {
    "main_mib": 30, "repetitions": 7, "scaling_mib": [5, 10, 20, 50], "scaling_repetitions": 3,
    "callgrind_mib": 5, "siblings": 1000000, "siblings_repetitions": 3,
    "largefile_repetitions": 3, "benchmark_min_time": "0.5", "thread_repetitions": 12,
    "wine_documents": [[5, 5], [50, 3]], "wine_timeout": 600,
}
QUICK = {
    "main_mib": 10, "repetitions": 3, "scaling_mib": [5, 10], "scaling_repetitions": 1,
    "callgrind_mib": 1, "siblings": 1000000, "siblings_repetitions": 1,
    "largefile_repetitions": 1, "benchmark_min_time": "0.1", "thread_repetitions": 5,
    "wine_documents": [[5, 3], [50, 1]], "wine_timeout": 600,
}
THREAD_ROWS = "threads|models-in-turn"
LARGEFILES = ["nes96.xml", "wordnet_glossary-20010201.rdf", "recset.xml", "ns_att_test.xml"]


def say(message):
    print("== " + message, file=sys.stderr, flush=True)


class Harness:
    def __init__(self, bin_dir, data_dir, scratch_dir):
        self.runner = os.path.join(bin_dir, "run_subject")
        self.unsynced_runner = os.path.join(bin_dir, "run_subject_unsynced")
        self.generator = os.path.join(bin_dir, "generate_document")
        self.benchmarks = os.path.join(bin_dir, "subject_benchmarks")
        self.automation = os.path.join(bin_dir, "automation_benchmarks")
        self.data_dir = data_dir
        self.scratch = scratch_dir
        self.failures = []

    @functools.cached_property
    def listing(self):
        """(operation, subject, flags) for every supported pair, as the runner declares them."""
        listing = subprocess.run([self.runner, "--list"], check=True, capture_output=True,
                                 text=True).stdout
        return [(operation, subject, flags)
                for operation, subject, *flags in map(str.split, listing.splitlines())]

    @functools.cached_property
    def pairs(self):
        """Operation -> (baseline, [subjects, baseline first])."""
        pairs = {}
        for operation, subject, flags in self.listing:
            baseline, subjects = pairs.get(operation, (None, []))
            pairs[operation] = (subject if "baseline" in flags else baseline, subjects + [subject])
        return pairs

    def runner_for(self, operation):
        """The unsynced runner's file syncs return at once; each runner refuses the other's
        operations."""
        unsynced = any(listed == operation and "unsynced" in flags
                       for listed, _, flags in self.listing)
        return self.unsynced_runner if unsynced else self.runner

    def generate(self, name, arguments):
        """A generated document, made again only when the generator is newer than it."""
        path = os.path.join(self.data_dir, name)
        if (not os.path.exists(path)
                or os.path.getmtime(path) < os.path.getmtime(self.generator)):
            say("generating " + name)
            subprocess.run([self.generator, *arguments, path], check=True)
        return path

    def records(self, mib):
        return self.generate("records-%dm-seed1.xml" % mib, ["--seed", "1", "--size", "%dM" % mib])

    def siblings(self, count):
        return self.generate("siblings-%d-seed1.xml" % count,
                             ["--seed", "1", "--siblings", str(count)])

    def files_for(self, subject, operation, document):
        """Input and output of one run (the runner ignores an output it does not write). A
        compressed load reads what the same subject's compressed save wrote, which therefore
        runs first."""
        compressed = os.path.join(self.scratch, subject + ".compressed")
        if operation == "compressed-save":
            return document, compressed
        if operation == "compressed-load":
            return compressed, None
        return document, os.path.join(self.scratch, "%s-%s.out" % (subject, operation))

    def run(self, subject, operation, document, hugetlb=False, wrapper=()):
        result = self.run_once(subject, operation, document, hugetlb, wrapper)
        if "error" in result:
            self.failures.append("%s %s on %s: %s" % (subject, operation,
                                                      os.path.basename(document), result["error"]))
        return result

    def run_once(self, subject, operation, document, hugetlb, wrapper):
        source, output = self.files_for(subject, operation, document)
        command = [*wrapper, self.runner_for(operation), subject, operation, source]
        if output:
            command.append(output)
        env = dict(os.environ)
        if hugetlb:
            env["GLIBC_TUNABLES"] = ":".join(filter(None, [env.get("GLIBC_TUNABLES"), HUGETLB]))
        started = time.monotonic()
        try:
            done = subprocess.run(command, env=env, capture_output=True, text=True,
                                  timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            return {"error": "timed out after %d s" % RUN_TIMEOUT}
        process_seconds = time.monotonic() - started
        if done.returncode != 0:
            lines = done.stderr.strip().splitlines() or ["exit %d" % done.returncode]
            return {"error": lines[-1]}
        values = dict(field.split("=", 1) for field in done.stdout.split())
        return {"seconds": float(values["seconds"]), "peak_kib": int(values["peak_kib"]),
                "minor_faults": int(values["minor_faults"]), "process_seconds": process_seconds}

    def measure(self, document, operations, repetitions, variants=(False,)):
        """Median time and memory per (operation, subject), one result per variant (plain or
        with huge pages). Runs are taken in turns, subject after subject and variant after
        variant, so that the machine's changing load falls on all of them alike."""
        warm(document)
        runs = [{} for _ in variants]
        for operation in operations:
            for repetition in range(repetitions):
                for subject in self.pairs[operation][1]:
                    for runs_of_variant, hugetlb in zip(runs, variants):
                        say("%s %s %s%s %d/%d" % (os.path.basename(document), operation, subject,
                                                  " hugetlb" if hugetlb else "", repetition + 1,
                                                  repetitions))
                        runs_of_variant.setdefault((operation, subject), []).append(
                            self.run(subject, operation, document, hugetlb))
        return [{key: summarise(samples) for key, samples in variant_runs.items()}
                for variant_runs in runs]

    def check_edits(self, document):
        """Reads back what each subject's last edit cycle on the document saved, and holds it to
        the edits (run_subject --check-edits): subject -> the check's report."""
        if "edit-cycle" not in self.pairs:
            return {}
        baseline, subjects = self.pairs["edit-cycle"]
        reports = {}
        for subject in subjects:
            if subject == baseline:
                continue
            output = self.files_for(subject, "edit-cycle", document)[1]
            done = subprocess.run([self.runner, "--check-edits", document, output],
                                  capture_output=True, text=True)
            reports[subject] = (done.stdout + done.stderr).strip()
            if done.returncode != 0:
                self.failures.append("%s edit-cycle on %s saved a file without the edits: %s"
                                     % (subject, os.path.basename(document), reports[subject]))
        return reports

    def instructions(self, document, operations):
        """Instructions of the measured step alone, one callgrind run per pair."""
        counts = {}
        for operation in operations:
            for subject in self.pairs[operation][1]:
                say("callgrind %s %s %s" % (os.path.basename(document), operation, subject))
                out = os.path.join(self.scratch, "callgrind.out")
                wrapper = ["valgrind", "--tool=callgrind", "--instr-atstart=no",
                           "--collect-atstart=no", "--callgrind-out-file=" + out]
                result = self.run(subject, operation, document, wrapper=wrapper)
                if "error" not in result:
                    result["instructions"] = callgrind_total(out)
                counts[(operation, subject)] = result
        return counts

    def google_benchmark(self, document, min_time, out_json):
        say("Google Benchmark on " + os.path.basename(document))
        done = self.run_benchmark_program(self.benchmarks, document, min_time, out_json)
        return done.stderr + done.stdout

    def automation_benchmark(self, document, min_time, out_json, options=()):
        say("automation benchmarks on " + os.path.basename(document))
        done = self.run_benchmark_program(self.automation, document, min_time, out_json, options)
        if done.returncode != 0:
            self.failures.append("automation_benchmarks: " + done.stderr.strip())
            return {}
        with open(out_json) as stream:
            return {entry["run_name"]: entry for entry in json.load(stream)["benchmarks"]
                    if "error_message" not in entry
                    and entry.get("aggregate_name", "median") == "median"}

    def run_benchmark_program(self, program, document, min_time, out_json, options=()):
        return subprocess.run([program, "--document=" + document, "--scratch=" + self.scratch,
                               "--benchmark_color=false", "--benchmark_min_time=" + min_time,
                               "--benchmark_out=" + out_json, "--benchmark_out_format=json",
                               *options], capture_output=True, text=True)

def warm(document):
    """Reads the document once so that every run finds it in the page cache."""
    with open(document, "rb") as stream:
        while stream.read(1 << 20):
            pass


def summarise(samples):
    failed = [sample for sample in samples if "error" in sample]
    if failed:
        return {"error": failed[0]["error"], "samples": samples}
    return {"seconds": statistics.median(sample["seconds"] for sample in samples),
            "peak_kib": statistics.median(sample["peak_kib"] for sample in samples),
            "minor_faults": statistics.median(sample["minor_faults"] for sample in samples),
            "samples": samples}


def callgrind_total(path):
    with open(path) as stream:
        for line in stream:
            if line.startswith("totals:"):
                return int(line.split()[1])
    return None


# ---------------------------------------------------------------------------- report text

def table(header, rows):
    """Names left-aligned in the first two columns, figures right-aligned after them."""
    widths = [max(len(str(row[i])) for row in [header, *rows]) for i in range(len(header))]

    def line(row):
        return "  ".join(str(cell).rjust(width) if i > 1 else str(cell).ljust(width)
                         for i, (cell, width) in enumerate(zip(row, widths)))

    return "\n".join([line(header), line(["-" * width for width in widths]),
                      *(line(row) for row in rows)])


def ratio(value, base):
    if value is None or not base:
        return "-"
    return "%.2f" % (value / base)


def figure(result, key, scale=1.0):
    if result is None or "error" in result or result.get(key) is None:
        return None
    return result[key] / scale


def fmt(value, digits=3):
    return "failed" if value is None else "%.*f" % (digits, value)


def label(subject, baseline):
    return subject + (" *" if subject == baseline else "")


def pair_rows(pairs, operations, make_row):
    rows = []
    for operation in operations:
        baseline, subjects = pairs[operation]
        for subject in subjects:
            rows.append(make_row(operation, subject, baseline))
    return rows


def full_section(harness, document, plain, huge, operations):
    size = os.path.getsize(document)

    def row(operation, subject, baseline):
        mine, base = plain.get((operation, subject)), plain.get((operation, baseline))
        huge_mine, huge_base = huge.get((operation, subject)), huge.get((operation, baseline))
        seconds = figure(mine, "seconds")
        huge_seconds = figure(huge_mine, "seconds")
        peak = figure(mine, "peak_kib", 1024)
        speed = size / MIB / seconds if seconds else None
        return [operation, label(subject, baseline), fmt(seconds), fmt(speed, 1),
                ratio(seconds, figure(base, "seconds")), fmt(huge_seconds),
                ratio(huge_seconds, figure(huge_base, "seconds")), fmt(peak, 1),
                ratio(peak, figure(base, "peak_kib", 1024)),
                fmt(figure(huge_mine, "peak_kib", 1024), 1),
                fmt(figure(mine, "minor_faults"), 0), fmt(figure(huge_mine, "minor_faults"), 0)]

    header = ["operation", "subject", "time s", "MiB/s", "x base", "huge s", "x base",
              "peak MiB", "x base", "huge MiB", "faults", "huge faults"]
    return table(header, pair_rows(harness.pairs, operations, row))


def scaling_section(harness, results, sizes, operations):
    def row(operation, subject, baseline):
        cells = [operation, label(subject, baseline)]
        for mib in sizes:
            seconds = figure(results[mib].get((operation, subject)), "seconds")
            cells.append(fmt(None if seconds is None else seconds * 1000 / mib, 2))
        return cells

    header = ["operation", "subject", *("ms/MiB @%dM" % mib for mib in sizes)]
    return table(header, pair_rows(harness.pairs, operations, row))


def simple_section(harness, results, operations):
    def row(operation, subject, baseline):
        seconds = figure(results.get((operation, subject)), "seconds")
        base = figure(results.get((operation, baseline)), "seconds")
        peak = figure(results.get((operation, subject)), "peak_kib", 1024)
        base_peak = figure(results.get((operation, baseline)), "peak_kib", 1024)
        faults = figure(results.get((operation, subject)), "minor_faults")
        return [operation, label(subject, baseline), fmt(seconds),
                ratio(seconds, base), fmt(peak, 1), ratio(peak, base_peak), fmt(faults, 0)]

    header = ["operation", "subject", "time s", "x base", "peak MiB", "x base", "faults"]
    return table(header, pair_rows(harness.pairs, operations, row))


def instruction_section(harness, counts, operations, size):
    """The work of the file baseline `write` is system calls, which callgrind does not count:
    what is held against it is compared by instructions per byte only."""
    def row(operation, subject, baseline):
        value = figure(counts.get((operation, subject)), "instructions")
        base = figure(counts.get((operation, baseline)), "instructions")
        per_byte = None if value is None else value / size
        compared = "-" if baseline == "write" else ratio(value, base)
        return [operation, label(subject, baseline),
                fmt(None if value is None else value / 1e6, 1), fmt(per_byte, 2), compared]

    return table(["operation", "subject", "M instructions", "per byte", "x base"],
                 pair_rows(harness.pairs, operations, row))


def describe_machine():
    def read(path):
        try:
            with open(path) as stream:
                return stream.read().strip()
        except OSError:
            return "unknown"

    model = next((line.split(":", 1)[1].strip() for line in read("/proc/cpuinfo").splitlines()
                  if line.startswith("model name")), "unknown")
    packages = {}
    for package in ["libexpat1", "zlib1g", "libpugixml1v5", "libxml2", "libtinyxml2-9"]:
        done = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package],
                              capture_output=True, text=True)
        packages[package] = done.stdout.strip() or "not installed"
    return {"cpu": model, "cores": os.cpu_count(), "kernel": platform.release(),
            "transparent_hugepages": read("/sys/kernel/mm/transparent_hugepage/enabled"),
            "load_average": read("/proc/loadavg"), "packages": packages}


def jsonable(results):
    return {"%s %s" % key: value for key, value in results.items()}


def main_document(harness, settings):
    operations = list(harness.pairs)
    main = harness.records(settings["main_mib"])
    plain, huge = harness.measure(main, operations, settings["repetitions"], (False, True))
    edits = harness.check_edits(main)
    raw = {"document": main, "bytes": os.path.getsize(main), "plain": jsonable(plain),
           "hugetlb": jsonable(huge), "edit_checks": edits}
    title = ("Main document %s (%d bytes), median of %d runs"
             % (os.path.basename(main), os.path.getsize(main), settings["repetitions"]))
    body = full_section(harness, main, plain, huge, operations)
    if edits:
        body += ("\nedit-cycle, each saved file read back with pugixml and held to the edits: "
                 + "; ".join("%s %s" % item for item in edits.items()))
    return raw, [(title, body)]


def scaling(harness, settings):
    operations = tree_operations(harness)
    results = {mib: harness.measure(harness.records(mib), operations,
                                    settings["scaling_repetitions"])[0]
               for mib in settings["scaling_mib"]}
    raw = {str(mib): jsonable(measured) for mib, measured in results.items()}
    title = ("Scaling: milliseconds per MiB of document, median of %d runs"
             % settings["scaling_repetitions"])
    return raw, [(title, scaling_section(harness, results, settings["scaling_mib"], operations))]


def siblings(harness, settings):
    operations = tree_operations(harness)
    document = harness.siblings(settings["siblings"])
    plain, huge = harness.measure(document, operations, settings["siblings_repetitions"],
                                  (False, True))
    raw = {"document": document, "plain": jsonable(plain), "hugetlb": jsonable(huge)}
    title = ("%d sibling elements under one element, %s (%d bytes), median of %d runs"
             % (settings["siblings"], os.path.basename(document), os.path.getsize(document),
                settings["siblings_repetitions"]))
    return raw, [(title, full_section(harness, document, plain, huge, operations))]


def largefiles(harness, settings, folder):
    operations = tree_operations(harness)
    raw, sections = {}, []
    for name in LARGEFILES:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            continue
        results = harness.measure(path, operations, settings["largefile_repetitions"])[0]
        raw[name] = jsonable(results)
        title = ("expat's large test file %s (%d bytes), median of %d runs"
                 % (name, os.path.getsize(path), settings["largefile_repetitions"]))
        sections.append((title, simple_section(harness, results, operations)))
    return raw, sections


def instructions(harness, settings):
    operations = list(harness.pairs)
    small = harness.records(settings["callgrind_mib"])
    counts = harness.instructions(small, operations)
    title = ("Instructions of the measured step under callgrind, on the smaller document %s "
             "(%d bytes)" % (os.path.basename(small), os.path.getsize(small)))
    return ({"document": small, "counts": jsonable(counts)},
            [(title, instruction_section(harness, counts, operations, os.path.getsize(small)))])


def google_benchmark(harness, settings, results_dir):
    main = harness.records(settings["main_mib"])
    out = os.path.join(results_dir, "google-benchmark.json")
    text = harness.google_benchmark(main, settings["benchmark_min_time"], out)
    title = ("Google Benchmark on %s: each operation repeated in one process; bytes per "
             "second of processor time" % os.path.basename(main))
    return {"json": out}, [(title, text.strip())]


def automation_section(results):
    def rate(name, key):
        return results.get(name, {}).get(key)

    def row(name, key, base, scale, unit):
        value = rate(name, key)
        return [name + ("*" if name == base else ""), unit,
                fmt(value / scale if value else None), ratio(value, rate(base, key))]

    rows = [row("stream/expat", "bytes_per_second", "stream/expat", MIB, "MiB/s"),
            row("stream/pravell", "bytes_per_second", "stream/expat", MIB, "MiB/s"),
            row("stream/expat", "events_per_second", "stream/expat", 1e6, "M events/s"),
            row("stream/pravell", "events_per_second", "stream/expat", 1e6, "M events/s"),
            row("call/direct", "items_per_second", "call/direct", 1e6, "M calls/s"),
            row("call/invoke", "items_per_second", "call/direct", 1e6, "M calls/s"),
            row("load/object", "bytes_per_second", "load/object", MIB, "MiB/s"),
            row("save/object", "bytes_per_second", "save/object", MIB, "MiB/s"),
            row("stream/object", "bytes_per_second", "stream/expat", MIB, "MiB/s")]
    single = "threads/real_time/threads:1"
    rows += [row("threads/real_time/threads:%d" % count, "items_per_second", single, 1,
                 "documents/s") for count in (1, 2, 4)]
    rows += [row("models-in-turn/%d/real_time" % count, "items_per_second", single, 1,
                 "documents/s") for count in (2, 4)]
    return table(["benchmark", "unit", "rate", "x base"], rows)


def automation(harness, settings, results_dir):
    main = harness.records(settings["main_mib"])
    out = os.path.join(results_dir, "automation-benchmark.json")
    results = harness.automation_benchmark(main, settings["benchmark_min_time"], out,
                                           ["--benchmark_filter=-" + THREAD_ROWS])
    # The threads' rows are ratios of wall times on a machine shared with others, whose speed
    # drifts by a fifth from one second to the next: each row is the median of repetitions
    # taken in random order, so that one thread and many meet the same drift.
    out_threads = os.path.join(results_dir, "automation-threads.json")
    results.update(harness.automation_benchmark(
        main, settings["benchmark_min_time"], out_threads,
        ["--benchmark_filter=" + THREAD_ROWS,
         "--benchmark_repetitions=%d" % settings["thread_repetitions"],
         "--benchmark_enable_random_interleaving=true",
         "--benchmark_report_aggregates_only=true"]))
    title = ("Automation on %s, processor time: a streaming parse through an early-bound "
             "client against raw expat doing the same string work (10000-byte pieces from "
             "memory), GetName on a node through Invoke with a cached identifier against "
             "the vtable call, a load, a save and a streaming parse of the file through the "
             "objects, and 1, 2 and 4 threads each loading, walking and saving 1 MiB documents "
             "of their own with models of their own, and one thread doing the same work in turn "
             "with 2 and 4 models (documents per second of wall time, all threads together, "
             "against one thread; medians of %d repetitions in random order)"
             % (os.path.basename(main), settings["thread_repetitions"]))
    return {"json": [out, out_threads]}, [(title, automation_section(results))]


def wine_section(measured):
    """Ours against the platform's object per phase, as time ratios; the stream as a rate."""
    rows, notes = [], []
    for document, subjects in measured["documents"].items():
        name = os.path.basename(document)
        size = os.path.getsize(document) / MIB

        def seconds(subject, phase):
            return subjects[subject]["median"].get(phase)

        def rate(value):
            return "-" if value == 0 else fmt(None if value is None else size / value, 1)

        for phase in ["load", "walk", "save"]:
            ours, theirs = seconds("model", phase), seconds("dom", phase)
            rows.append([name, phase, fmt(ours), fmt(theirs), ratio(ours, theirs), rate(ours),
                         rate(theirs)])
        parse = seconds("stream", "parse")
        rows.append([name, "stream", fmt(parse), "-", "-", rate(parse), "-"])
        notes.append("%s: %s" % (name, xml_objects.checks(subjects)))
        for subject, summary in subjects.items():
            if "error" in summary:
                finished = ", ".join("%s %.3f s" % item for item in summary["median"].items())
                notes.append("%s: %s %s after %d run(s)%s" % (
                    name, subject, summary["error"], summary["runs"],
                    "; finished: " + finished if finished else ""))
    header = ["document", "phase", "ours s", "platform s", "ours/platform", "ours MiB/s",
              "platform MiB/s"]
    return "\n".join([table(header, rows), ""] + notes)


def wine(harness, settings, build_dir):
    source = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    runner = xml_objects.XmlObjects(source, build_dir, os.path.join(harness.scratch, "wine"),
                                    settings["wine_timeout"], say)
    documents = [(harness.records(mib), repetitions)
                 for mib, repetitions in settings["wine_documents"]]
    measured = runner.measure_all(documents)
    if "error" in measured:
        harness.failures.append("wine: " + measured["error"])
        return measured, []
    for document, subjects in measured["documents"].items():
        harness.failures += ["wine %s on %s: %s" % (subject, os.path.basename(document),
                                                   summary["error"])
                             for subject, summary in subjects.items() if "error" in summary]
    runs = " and ".join("%d on %s" % (repetitions, os.path.basename(path))
                        for path, repetitions in documents)
    title = ("Script hosts under Wine (%s), JScript in cscript: Corvantis.XMLModel against the "
             "platform's Msxml2.DOMDocument.3.0 (load; walk reading every element's name, own "
             "text and attributes; save), and Corvantis.StreamingXMLParser into a client that "
             "counts events. Median seconds timed inside the script over runs (%s), each a script "
             "process of its own, the subjects in turns; ours/platform below 1: ours is faster"
             % (measured["wine"], runs))
    return measured, [(title, wine_section(measured))]


def tree_operations(harness):
    return [operation for operation in ["load", "save"] if operation in harness.pairs]


def run_all(harness, settings, arguments, results_dir):
    started = time.monotonic()
    raw = {"settings": settings, "machine": describe_machine(),
           "started": datetime.datetime.now().isoformat(timespec="seconds")}
    steps = []
    if not arguments.wine_only:
        steps += [("main", lambda: main_document(harness, settings)),
                  ("scaling", lambda: scaling(harness, settings)),
                  ("siblings", lambda: siblings(harness, settings))]
        if arguments.largefiles:
            steps.append(("largefiles",
                          lambda: largefiles(harness, settings, arguments.largefiles)))
        if shutil.which("valgrind"):
            steps.append(("callgrind", lambda: instructions(harness, settings)))
        steps.append(("google-benchmark",
                      lambda: google_benchmark(harness, settings, results_dir)))
        steps.append(("automation", lambda: automation(harness, settings, results_dir)))
    if arguments.wine_build:
        steps.append(("wine", lambda: wine(harness, settings, arguments.wine_build)))
    sections = []
    for name, step in steps:
        raw[name], step_sections = step()
        sections += step_sections
    if harness.failures:
        sections.append(("Failed runs", "\n".join(sorted(set(harness.failures)))))
    raw["failures"] = harness.failures
    raw["seconds"] = time.monotonic() - started
    raw["machine"]["load_average_after"] = describe_machine()["load_average"]
    return raw, sections


def render(raw, sections):
    machine = raw["machine"]
    packages = ", ".join("%s %s" % item for item in machine["packages"].items())
    lines = ["Pravell benchmarks, %s" % raw["started"],
             "machine: %s, %s cores, kernel %s, transparent huge pages: %s"
             % (machine["cpu"], machine["cores"], machine["kernel"],
                machine["transparent_hugepages"]),
             "load average before: %s; after: %s"
             % (machine["load_average"], machine["load_average_after"]),
             "packages: " + packages]
    if "main" in raw:
        lines += ["time s: the measured step alone (a save's document is loaded first, "
                  "unmeasured; the edit cycle's load, edit and save are one step); peak MiB: "
                  "the process's peak resident memory; faults: the measured step's minor page "
                  "faults (first touches of pages)",
                  "save: pravell syncs the new file before it replaces the target, the peers "
                  "do not sync; save-unsynced: the same saves in run_subject_unsynced, whose "
                  "fsync returns at once",
                  "* marks the baseline; x base: the ratio to the baseline on the same document; "
                  "huge: with GLIBC_TUNABLES=" + HUGETLB]
    lines.append("")
    for title, body in sections:
        lines += [title, body, ""]
    lines.append("whole run: %.0f s" % raw["seconds"])
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder holding the benchmark programs")
    parser.add_argument("--data", required=True, help="folder for generated documents")
    parser.add_argument("--results", required=True, help="folder for the report and raw numbers")
    parser.add_argument("--largefiles", help="expat's testdata/largefiles folder")
    parser.add_argument("--quick", action="store_true", help="smaller documents, fewer runs")
    parser.add_argument("--wine-build", help="the Windows build folder: also measure under Wine")
    parser.add_argument("--wine-only", action="store_true",
                        help="measure under Wine alone (needs --wine-build)")
    arguments = parser.parse_args()
    if arguments.wine_only and not arguments.wine_build:
        parser.error("--wine-only needs --wine-build")

    stamp = datetime.datetime.now().strftime("%Y%m%d-%H%M%S")
    results_dir = os.path.join(arguments.results, stamp)
    scratch = os.path.join(arguments.results, "scratch")
    for folder in (arguments.data, results_dir, scratch):
        os.makedirs(folder, exist_ok=True)

    harness = Harness(arguments.bin, arguments.data, scratch)
    settings = dict(QUICK if arguments.quick else FULL, quick=arguments.quick)
    raw, sections = run_all(harness, settings, arguments, results_dir)
    shutil.rmtree(scratch, ignore_errors=True)

    report = render(raw, sections)
    with open(os.path.join(results_dir, "report.txt"), "w") as stream:
        stream.write(report)
    with open(os.path.join(results_dir, "raw.json"), "w") as stream:
        json.dump(raw, stream, indent=1)
    latest = os.path.join(arguments.results, "latest")
    if os.path.islink(latest):
        os.remove(latest)
    if not os.path.exists(latest):
        os.symlink(stamp, latest)
    print(report)
    print("raw numbers: " + os.path.join(results_dir, "raw.json"))


if __name__ == "__main__":
    main()
