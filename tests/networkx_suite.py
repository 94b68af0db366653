"""Run networkx's own tests of the served modules with every call dispatched to the backend.

networkx's test mode (``NETWORKX_TEST_BACKEND``) sends every dispatchable call in these tests to
the backend, with networkx running instead where the backend declines
(``NETWORKX_FALLBACK_TO_NX``; networkx reads it with ``bool()``, so any non-empty value turns it
on). networkx's debug log tells which calls the backend answered; the counts are printed per
function at the end. The exit status is pytest's: any failing test fails the run.

Usage: ``python3 tests/networkx_suite.py [extra pytest arguments]``
"""

from __future__ import annotations

import collections
import logging
import os
import sys

MODULES = (
    "algorithms/components/tests/test_connected.py",
    "algorithms/components/tests/test_weakly_connected.py",
    "algorithms/shortest_paths/tests/test_unweighted.py",
    "algorithms/shortest_paths/tests/test_weighted.py",
    "algorithms/shortest_paths/tests/test_generic.py",
    "algorithms/tests/test_dag.py",
    "algorithms/tests/test_cluster.py",
    "algorithms/link_analysis/tests/test_pagerank.py",
)


class KernelCalls(logging.Handler):
    """Counts, per function, the calls the backend answered in networkx's test mode."""

    def __init__(self) -> None:
        super().__init__(logging.DEBUG)
        self.started: collections.Counter = collections.Counter()
        self.declined: collections.Counter = collections.Counter()

    def emit(self, record: logging.LogRecord) -> None:
        message = str(record.msg)
        if message.startswith("Using backend '%s' for call to") and record.args[0] == "veltrix":
            self.started[record.args[1]] += 1
        elif message.startswith("Backend '%s' raised when calling") and record.args[0] == "veltrix":
            self.declined[record.args[1]] += 1

    def answered(self) -> collections.Counter:
        return self.started - self.declined


class Plugin:
    def __init__(self, calls: KernelCalls) -> None:
        self.calls = calls

    def pytest_sessionstart(self, session) -> None:
        logger = logging.getLogger("networkx")
        logger.setLevel(logging.DEBUG)
        logger.addHandler(self.calls)

    def pytest_terminal_summary(self, terminalreporter) -> None:
        answered = self.calls.answered()
        terminalreporter.section("calls answered by the veltrix backend")
        for name, count in sorted(answered.items()):
            terminalreporter.write_line(f"{name:45s} {count:6d}")
        declined = sum(self.calls.declined.values())
        terminalreporter.write_line(
            f"{'total':45s} {sum(answered.values()):6d}  (declined at run time: {declined})"
        )


def main(argv: list[str]) -> int:
    os.environ["NETWORKX_TEST_BACKEND"] = "veltrix"
    os.environ["NETWORKX_FALLBACK_TO_NX"] = "True"
    import networkx
    import pytest

    root = os.path.dirname(networkx.__file__)
    calls = KernelCalls()
    # networkx's conftest.py (which switches on the test mode) sits at the package root, so
    # pytest runs from there, away from this project's own configuration.
    os.chdir(root)
    args = ["-q", "-p", "no:cacheprovider", "--rootdir", root, *MODULES, *argv]
    status = pytest.main(args, plugins=[Plugin(calls)])
    if status == 0 and not sum(calls.answered().values()):
        print("the backend answered no call: is veltrix installed with its entry points?")
        return 1
    return int(status)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
