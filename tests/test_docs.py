"""Every Python sample of the documentation's pages (the README and the other files they include among them) runs as
written against the stand-in solver and prints exactly its output block, on every interpreter the suite runs on; and
the stub package, which the API reference is made from, describes the module as it is.

The site's build runs the same samples (docs/_ext/samples.py says what a sample is and how it runs); the example
programs a page shows from examples/ are run by tests/test_examples.py. A block preceded by the line
`<!-- not run: <reason> -->` is skipped; its reason must be given."""

import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "docs" / "_ext"))

import brenlox_copt  # noqa: E402
import samples  # noqa: E402
import stub_reference  # noqa: E402

PAGES = sorted((ROOT / "docs").glob("*.md"))
STUBS = ROOT / "src" / "python" / "stubs" / "brenlox_copt-stubs" / "__init__.pyi"


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


@pytest.mark.parametrize(
    "code, output, problem",
    [
        ("print('1 2.0')", "1 2.0\n", None),
        ("print('1 2.0')", "1 2\n", "printed"),
        ("print('unasked')", "", "printed"),
        ("raise SystemExit(3)", "", "exited with 3"),
    ],
)
def test_a_sample_fails_on_its_exit_status_or_any_other_output(code, output, problem):
    found = samples.run(samples.Sample(STUBS, 1, code, None, output, None))
    assert found is None if problem is None else problem in found


# Each change makes the stubs tell another story than the module; the reference's check must name it.
DRIFTS = [
    ('"""Python adapter for the native COPT optimizer.', '"""Python adapter for a solver.', "does not begin"),
    ("def get_var_value(self, var_id: _Integer)", "def get_var_value(self, var_index: _Integer)", "the module takes"),
    ("lb: _Number | None = None, ub", "lb: _Number | None = 0.0, ub", "the module takes"),
    ("def update(self) -> None:", "def refresh(self) -> None:", "the module has"),
    ('CLIENT_PORT: Final = "Port"', 'CLIENT_PORT: Final = "port"', "is 'Port'"),
    ('__all__ = ["COPT", "Env", "EnvrConfig", "Model"]', '__all__ = ["COPT", "Env", "Model"]', "__all__"),
    ('"""The objective value of the last solution, or None without one.\n\n        The objective\'s constant is included. '
     'Never raises.\n        """', "...", "no docstring"),
]


def test_the_stubs_describe_the_module():
    assert stub_reference.check(brenlox_copt, stub_reference.read_stub(STUBS, "brenlox_copt")) == []


@pytest.mark.parametrize("old, new, problem", DRIFTS, ids=[problem for _, _, problem in DRIFTS])
def test_a_stub_that_drifts_from_the_module_is_named(tmp_path, old, new, problem):
    text = STUBS.read_text(encoding="utf-8")
    assert text.count(old) == 1
    drifted = tmp_path / "__init__.pyi"
    drifted.write_text(text.replace(old, new), encoding="utf-8")
    found = stub_reference.check(brenlox_copt, stub_reference.read_stub(drifted, "brenlox_copt"))
    assert any(problem in line for line in found), found
