"""Every Python sample in the docs (and the README) runs as written against the stand-in solver.

Each ```python block runs alone in a fresh interpreter, from tests/ so that design notes can use the stand-in's
controls (tests/support). A block preceded by the line `<!-- not run: <reason> -->` is skipped; its reason must be
given."""

import re
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
TESTS = ROOT / "tests"
PAGES = sorted((ROOT / "docs").glob("*.md")) + [ROOT / "README.md"]
BLOCK = re.compile(r"^(?:<!-- not run: (?P<reason>[^>]*?) -->\n)?```python\n(?P<code>.*?)^```$", re.M | re.S)


def samples():
    for page in PAGES:
        text = page.read_text(encoding="utf-8")
        for match in BLOCK.finditer(text):
            line = text.count("\n", 0, match.start("code")) + 1
            marks = [pytest.mark.skip(reason=match["reason"])] if match["reason"] is not None else []
            yield pytest.param(match["code"], id=f"{page.relative_to(ROOT)}:{line}", marks=marks)


@pytest.mark.parametrize("code", list(samples()))
def test_sample_runs(code):
    completed = subprocess.run(
        [sys.executable, "-c", code], capture_output=True, text=True, timeout=120, check=False, cwd=TESTS
    )
    assert completed.returncode == 0, completed.stderr


def test_every_python_block_is_read_and_every_skip_has_a_reason():
    for page in (ROOT / "docs").glob("*.md"):
        text = page.read_text(encoding="utf-8")
        assert "<!-- not run:  -->" not in text, page
        opened = len(re.findall(r"^```python$", text, re.M))
        assert opened == len(BLOCK.findall(text)), f"{page}: a python block the test cannot read"
