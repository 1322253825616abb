"""Runs xml_objects.js under Wine: our model, the platform's XML document object and our
streaming parser, each run a script process of its own, the subjects taken in turns.

The Windows build's component is registered in the build's Wine prefix for the duration and
unregistered afterwards. Every run is bounded in time: Wine's document object may be slow on a
large document, and a run that outlasts the bound is reported as timed out together with the
phases it finished, and that subject is not run again on that document.
"""

import os
import shutil
import statistics
import subprocess

SUBJECTS = ["model", "dom", "stream"]
# How long a script process may take, beyond the bound itself, before Python stops waiting.
GRACE = 60


class XmlObjects:
    def __init__(self, source_dir, build_dir, work_dir, timeout, say):
        self.wine_run = os.path.join(source_dir, "tests", "wine", "wine-run")
        self.script = os.path.join(source_dir, "bench", "wine", "xml_objects.js")
        self.bin_dir = os.path.join(build_dir, "bin")
        self.work = work_dir
        self.timeout = timeout
        self.say = say
        self.env = dict(os.environ, PRAVELL_BUILD_DIR=os.path.abspath(build_dir),
                        PRAVELL_WINE_TIMEOUT=str(timeout))

    def wine(self, arguments, folder):
        return subprocess.run([self.wine_run, *arguments], cwd=folder, env=self.env,
                              capture_output=True, text=True, timeout=self.timeout + GRACE)

    def register(self, undo=False):
        """regsvr32 from the folder of the library, by its plain name. Returns an error or None."""
        done = self.wine(["regsvr32", *(["/u"] if undo else []), "/s", "pravell.dll"],
                         self.bin_dir)
        if done.returncode != 0:
            return "regsvr32%s failed with status %d" % (" /u" if undo else "", done.returncode)
        return None

    def version(self):
        done = subprocess.run(["wine", "--version"], capture_output=True, text=True)
        return done.stdout.strip() or "unknown"

    def run(self, subject, document, verify):
        """One script process: {"phases": {phase: seconds}, "counts": {what: number}}, with
        "error" added when it failed or timed out."""
        name = os.path.basename(document)
        arguments = ["cscript", "//nologo", os.path.basename(self.script), subject, name,
                     self.output(subject, document)] + (["verify"] if verify else [])
        try:
            done = self.wine(arguments, self.work)
            output, status = done.stdout, done.returncode
        except subprocess.TimeoutExpired as expired:
            output, status = expired.stdout or "", 124
        if isinstance(output, bytes):
            output = output.decode("utf-8", "replace")
        lines = [line.strip() for line in output.replace("\r", "").splitlines() if line.strip()]
        result = {"phases": {}, "counts": {}}
        for line in lines:
            word, _, value = line.partition(" ")
            if word in ("load", "walk", "save", "parse"):
                result["phases"][word] = float(value)
            elif word in ("elements", "attributes", "names", "events", "reloaded"):
                result["counts"][word] = int(value)
            elif word == "failed":
                result["error"] = value
        # wine-run's bound answers 124, or 137 when the process had to be killed.
        if status in (124, 137):
            result["error"] = "timed out after %d s" % self.timeout
        elif "error" not in result and (status != 0 or not lines or lines[-1] != "done"):
            result["error"] = "stopped without finishing (status %d)" % status
        return result

    def measure(self, document, repetitions):
        """Every subject's runs on one document, in turns; the first run of each also reloads
        what it saved."""
        for entry in os.listdir(self.work):
            if entry.endswith(".xml"):
                os.remove(os.path.join(self.work, entry))
        os.symlink(os.path.abspath(document), os.path.join(self.work, os.path.basename(document)))
        runs = {subject: [] for subject in SUBJECTS}
        for repetition in range(repetitions):
            for subject in SUBJECTS:
                if any("error" in run for run in runs[subject]):
                    continue
                self.say("wine %s %s %d/%d" % (os.path.basename(document), subject,
                                               repetition + 1, repetitions))
                runs[subject].append(self.run(subject, document, repetition == 0))
        measured = {subject: summarise(samples) for subject, samples in runs.items()}
        # The subjects save different text (ours indents), so the bytes written go beside the
        # save times.
        for subject in ("model", "dom"):
            saved = os.path.join(self.work, self.output(subject, document))
            if os.path.exists(saved):
                measured[subject]["counts"]["saved_bytes"] = os.path.getsize(saved)
        return measured

    @staticmethod
    def output(subject, document):
        return "%s-%s" % (subject, os.path.basename(document))

    def measure_all(self, documents):
        """documents: [(path, repetitions)]. Registers the component around the runs."""
        os.makedirs(self.work, exist_ok=True)
        shutil.copy(self.script, self.work)
        error = self.register()
        if error:
            return {"error": error}
        try:
            return {"wine": self.version(),
                    "documents": {path: self.measure(path, repetitions)
                                  for path, repetitions in documents}}
        finally:
            self.register(undo=True)


def summarise(samples):
    """Median and best of each phase over the runs that finished it; counts of the first run;
    the first error."""
    phases = {}
    for sample in samples:
        for phase, seconds in sample["phases"].items():
            phases.setdefault(phase, []).append(seconds)
    summary = {"median": {phase: statistics.median(values) for phase, values in phases.items()},
               "best": {phase: min(values) for phase, values in phases.items()},
               "runs": len(samples), "counts": samples[0]["counts"] if samples else {},
               "samples": samples}
    errors = [sample["error"] for sample in samples if "error" in sample]
    if errors:
        summary["error"] = errors[0]
    return summary


def checks(subjects):
    """What must agree between the subjects on one document, as text; mismatches say so."""
    def count(subject, what):
        return subjects.get(subject, {}).get("counts", {}).get(what)

    problems = []
    elements = [count(subject, "elements") for subject in SUBJECTS]
    if len(set(elements)) != 1 or None in elements:
        problems.append("elements differ")
    for what in ("attributes", "names"):
        if count("model", what) != count("dom", what):
            problems.append(what + " differ")
    for subject in ("model", "dom"):
        if count(subject, "reloaded") != count(subject, "elements"):
            problems.append("%s's saved file not reloaded whole" % subject)
    text = ("elements: model %s, dom %s, stream %s; attributes: model %s, dom %s; saved files "
            "of %s (model) and %s (dom) bytes reloaded with %s and %s elements; stream events %s"
            % (*elements, count("model", "attributes"), count("dom", "attributes"),
               count("model", "saved_bytes"), count("dom", "saved_bytes"),
               count("model", "reloaded"), count("dom", "reloaded"), count("stream", "events")))
    return text + ("" if not problems else "  MISMATCH: " + ", ".join(problems))
