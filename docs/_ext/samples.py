"""The runnable samples of the documentation's Markdown pages, read and run one way for the site build and the tests.

A sample is a ```python block, or an example program shown with a ```{literalinclude} block. A ```output block right
after it is what the sample must print; without one it must print nothing. A sample preceded by the line
`<!-- not run: <reason> -->` is skipped, with that reason. A ```{include} block's file is read as part of its page.
Each sample runs alone in a fresh interpreter, from tests/ so that pages can use the stand-in's controls
(tests/support)."""

from __future__ import annotations

import os
import re
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
TESTS = ROOT / "tests"
STANDIN_HOME = ROOT / "build" / "standin"

_FENCE = re.compile(
    r"^(?:<!-- not run: (?P<reason>[^>]*?) -->\n)?"
    r"(?P<fence>`{3,})(?P<info>python|\{literalinclude\}|\{include\})[ \t]*(?P<argument>[^\n]*)\n"
    r"(?P<body>.*?)^(?P=fence)[ \t]*$"
    r"(?:\n\n(?P<output_fence>`{3,})output\n(?P<output>.*?)^(?P=output_fence)[ \t]*$)?",
    re.M | re.S,
)


@dataclass(frozen=True)
class Sample:
    source: Path  # the Markdown file that holds it
    line: int  # of its first line of code (or of the directive) in that file
    code: str  # the code, for a block
    program: Path | None  # the example program, for a literalinclude
    output: str  # what it must print
    skip: str | None  # why it is not run

    @property
    def name(self) -> str:
        return f"{self.source.relative_to(ROOT).as_posix()}:{self.line}"


def read(page: Path) -> list[Sample]:
    """The samples of one page, in order, with those of the files it includes."""
    text = page.read_text(encoding="utf-8")
    found: list[Sample] = []
    for match in _FENCE.finditer(text):
        line = text.count("\n", 0, match.start("body")) + 1
        info, argument = match["info"], match["argument"].strip()
        if info == "{include}":
            found += read((page.parent / argument).resolve())
            continue
        program = (page.parent / argument).resolve() if info == "{literalinclude}" else None
        code = "" if program else match["body"]
        found.append(Sample(page, line, code, program, match["output"] or "", match["reason"]))
    return found


def files(page: Path) -> list[Path]:
    """The page and the files it includes, in order."""
    text = page.read_text(encoding="utf-8")
    found = [page]
    for match in _FENCE.finditer(text):
        if match["info"] == "{include}":
            found += files((page.parent / match["argument"].strip()).resolve())
    return found


def unread_python_blocks(page: Path) -> int:
    """How many ```python blocks of the page the reader misses (a fence it cannot parse): must be none."""
    text = page.read_text(encoding="utf-8")
    opened = len(re.findall(r"^`{3,}python[ \t]*$", text, re.M))
    return opened - sum(1 for match in _FENCE.finditer(text) if match["info"] == "python")


def environment() -> dict[str, str]:
    """The environment samples run in: the stand-in solver unless COPT_HOME says otherwise."""
    env = dict(os.environ)
    env.setdefault("COPT_HOME", str(STANDIN_HOME))
    return env


def run(sample: Sample, timeout: float = 120) -> str | None:
    """Runs the sample; None when it succeeded and printed what it must, otherwise what went wrong."""
    command = [sys.executable, str(sample.program)] if sample.program else [sys.executable, "-c", sample.code]
    try:
        done = subprocess.run(command, capture_output=True, text=True, timeout=timeout, check=False, cwd=TESTS,
                              env=environment())
    except subprocess.TimeoutExpired:
        return f"{sample.name}: still running after {timeout:.0f} s"
    if done.returncode != 0:
        return f"{sample.name}: exited with {done.returncode}\n{done.stderr}"
    if done.stdout.rstrip() != sample.output.rstrip():
        return f"{sample.name}: printed\n{done.stdout}instead of\n{sample.output}"
    return None
