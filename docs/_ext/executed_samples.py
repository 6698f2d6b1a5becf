"""Runs every sample of the pages being read (samples.py says what a sample is) while Sphinx reads them, against the
stand-in solver, and fails the build when one fails or prints anything but its output block."""

from __future__ import annotations

from concurrent.futures import Future, ThreadPoolExecutor

from sphinx.application import Sphinx
from sphinx.errors import ExtensionError
from sphinx.util import logging

import samples

logger = logging.getLogger(__name__)


class Runs:
    def __init__(self) -> None:
        self.pool = ThreadPoolExecutor(max_workers=2)
        self.futures: list[tuple[str, samples.Sample, Future]] = []
        self.skipped: list[samples.Sample] = []

    def start(self, docname: str, sample: samples.Sample) -> None:
        if sample.skip is not None:
            self.skipped.append(sample)
        else:
            self.futures.append((docname, sample, self.pool.submit(samples.run, sample)))


def start_runs(app: Sphinx, env, docnames: list[str]) -> None:
    runs = app.brenlox_sample_runs = Runs()
    for docname in sorted(docnames):
        for sample in samples.read(env.doc2path(docname)):
            runs.start(docname, sample)


def finish_runs(app: Sphinx, env) -> None:
    runs: Runs = app.brenlox_sample_runs
    failures = 0
    for docname, sample, future in runs.futures:
        problem = future.result()
        if problem is not None:
            failures += 1
            logger.error("sample failed: %s", problem, location=f"{sample.source}:{sample.line}")
    runs.pool.shutdown()
    # Printed rather than logged, so that a quiet build says it too.
    print(f"docs: samples: {len(runs.futures)} executed, {failures} failed, {len(runs.skipped)} not run"
          + "".join(f"\n  not run: {sample.name}: {sample.skip}" for sample in runs.skipped), flush=True)
    if failures:
        raise ExtensionError(f"{failures} of the documentation's samples failed")


def setup(app: Sphinx) -> dict:
    app.connect("env-before-read-docs", start_runs)
    app.connect("env-updated", finish_runs)
    return {"parallel_read_safe": False, "parallel_write_safe": True}
