"""Every Python sample of the documentation's pages (the README and the other files they include among them) runs as
written against the stand-in solver and prints exactly its output block, on every interpreter the suite runs on.

The site's build runs the same samples (docs/_ext/samples.py says what a sample is and how it runs); the example
programs a page shows from examples/ are run by tests/test_examples.py. A block preceded by the line
`<!-- not run: <reason> -->` is skipped; its reason must be given."""

import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "docs" / "_ext"))

import samples  # noqa: E402

PAGES = sorted((ROOT / "docs").glob("*.md"))


def blocks():
    for page in PAGES:
        for sample in samples.read(page):
            if sample.program is None:
                marks = [pytest.mark.skip(reason=sample.skip)] if sample.skip is not None else []
                yield pytest.param(sample, id=sample.name, marks=marks)


@pytest.mark.parametrize("sample", list(blocks()))
def test_sample_runs_and_prints_its_output(sample):
    problem = samples.run(sample)
    assert problem is None, problem


def test_every_python_block_is_read_and_every_skip_has_a_reason():
    read = [path for page in PAGES for path in samples.files(page)]
    assert ROOT / "README.md" in read
    for page in read:
        text = page.read_text(encoding="utf-8")
        assert "<!-- not run:  -->" not in text, page
        assert samples.unread_python_blocks(page) == 0, f"{page}: a python block the reader cannot parse"
