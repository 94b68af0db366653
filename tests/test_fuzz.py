"""Seeded random programs against the whole _veltrix surface, each case in a child process.

The normal run spends about a minute (VELTRIX_FUZZ_SECONDS or --fuzz-seconds for longer; the seed
is VELTRIX_FUZZ_SEED or --fuzz-seed). A case that crashes or hangs the child, or makes a sanitizer
speak, fails the test with the case as JSON; once fixed, add it to fuzz_corpus.json, whose cases
run first on every run.
"""

import json
import os
import pickle
import select
import subprocess
import sys
import time
from pathlib import Path

import pytest

import fuzz_surface
from conftest import UNDER_ASAN

HERE = Path(__file__).resolve().parent
CASE_TIMEOUT = 60  # seconds; a case takes milliseconds
ADDRESS_SPACE = 4 << 30
SANITIZER_MARKS = ("runtime error:", "AddressSanitizer", "LeakSanitizer", "ThreadSanitizer")


class Crash(Exception):
    pass


class Child:
    """One child process that runs cases until it is closed or dies."""

    def __init__(self, errors: Path):
        env = dict(os.environ)
        if not UNDER_ASAN:  # the sanitizer's shadow memory needs far more than any sane limit
            env["VELTRIX_FUZZ_ADDRESS_SPACE"] = str(ADDRESS_SPACE)
        self.errors = errors
        self.stderr = open(errors, "ab")
        self.proc = subprocess.Popen(
            [sys.executable, str(HERE / "fuzz_surface.py"), "--child"],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            stderr=self.stderr,
            env=env,
        )

    def run(self, case):
        """(problems, calls) for `case`; raises Crash if the child dies, hangs or a sanitizer reports."""
        start = self.errors.stat().st_size
        try:
            pickle.dump(case, self.proc.stdin)
            self.proc.stdin.flush()
        except BrokenPipeError:
            pass
        ready, _, _ = select.select([self.proc.stdout], [], [], CASE_TIMEOUT)
        if not ready:
            self.proc.kill()
            raise Crash(f"no answer within {CASE_TIMEOUT} s")
        try:
            answer = pickle.load(self.proc.stdout)
        except EOFError:
            status = self.proc.wait()
            raise Crash(f"child died with status {status}: {self.tail(start)}") from None
        report = self.tail(start)
        if any(mark in report for mark in SANITIZER_MARKS):
            raise Crash(f"sanitizer report: {report}")
        return answer

    def tail(self, start):
        with open(self.errors, "rb") as f:
            f.seek(start)
            return f.read()[-4000:].decode(errors="replace")

    def close(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.stderr.close()


def crashes(case, errors):
    child = Child(errors)
    try:
        child.run(case)
        return False
    except Crash:
        return True
    finally:
        child.close()


def minimise(case, errors):
    """Drops operations one at a time while the case still crashes a fresh child."""
    i = len(case) - 1
    while i >= 0 and len(case) > 1:
        shorter = case[:i] + case[i + 1 :]
        # Later operations name graphs by slot, so dropping a "new" shifts them: keep those.
        if case[i][0] != "new" and crashes(shorter, errors):
            case = shorter
        i -= 1
    return case


def run_cases(cases, errors):
    """Runs (label, case) pairs in one child; returns counts, failing on the first finding."""
    child = Child(errors)
    counted = calls = 0
    try:
        for label, case in cases:
            try:
                problems, made = child.run(case)
            except Crash as crash:
                small = minimise(case, errors)
                pytest.fail(
                    f"{label} crashed the interpreter ({crash}).\nMinimal case: {json.dumps(small)}"
                )
            assert not problems, f"{label}: " + "\n".join(problems[:10])
            counted += 1
            calls += made
    finally:
        child.close()
    return counted, calls


def test_corpus_of_former_crashes(tmp_path):
    corpus = json.loads((HERE / "fuzz_corpus.json").read_text())
    count, calls = run_cases(
        [(entry["found"], entry["case"]) for entry in corpus], tmp_path / "stderr"
    )
    assert count == len(corpus) and calls > 0


@pytest.mark.slow
def test_random_programs(request, tmp_path, capsys):
    seconds = float(request.config.getoption("fuzz_seconds"))
    seed = int(request.config.getoption("fuzz_seed"))
    deadline = time.monotonic() + seconds

    def cases():
        index = 0
        while time.monotonic() < deadline:
            case_seed = seed * 1_000_003 + index
            yield f"seed {case_seed}", fuzz_surface.make_case(case_seed, huge=not UNDER_ASAN)
            index += 1

    count, calls = run_cases(cases(), tmp_path / "stderr")
    with capsys.disabled():
        print(f"\nfuzz: seed {seed}, {count} cases, {calls} calls in {seconds:.0f} s")
    assert count > 0
