"""Sphinx configuration of the documentation site: bash scripts/docs.sh builds it into build/docs/html."""

import sys
import tomllib
from pathlib import Path

DOCS = Path(__file__).resolve().parent
ROOT = DOCS.parent
sys.path.insert(0, str(DOCS / "_ext"))
# The adapters are documented from the source tree; the module itself from its installed build.
sys.path.insert(0, str(ROOT / "src" / "modelling"))

project = "brenlox_copt"
release = version = tomllib.loads((ROOT / "pyproject.toml").read_text())["project"]["version"]
author = "The brenlox_copt authors"
copyright = "the brenlox_copt authors"

extensions = [
    "myst_parser",
    "sphinx.ext.autodoc",
    "sphinx.ext.intersphinx",
    "sphinx.ext.napoleon",
    "executed_samples",
    "module_reference",
    "code_links",
    "repository_links",
    "benchmark_figures",
]
root_doc = "index"
exclude_patterns = ["_build"]
templates_path: list[str] = []

myst_heading_anchors = 4
myst_enable_extensions = ["colon_fence"]
suppress_warnings: list[str] = []

# Python's and NumPy's inventories come from Debian's documentation packages (scripts/docs.sh installs them), so the
# build reads no network; the links point at the public sites.
inventories = ROOT / "build" / "docs-deps" / "inventories"
intersphinx_mapping = {
    "python": ("https://docs.python.org/3/", str(inventories / "python.inv")),
    "numpy": ("https://numpy.org/doc/stable/", str(inventories / "numpy.inv")),
}
intersphinx_timeout = 1

autodoc_member_order = "bysource"
autodoc_typehints = "signature"
autodoc_inherit_docstrings = False
napoleon_google_docstring = True
napoleon_numpy_docstring = False

# Pages that other files of the repository are shown as: a link to one of those files leads to its page.
repository_pages = {
    "README.md": "index",
    "CHANGELOG.md": "changelog",
    "benchmarks/RESULTS.md": "benchmarks",
    "standin/README.md": "standin",
}
module_reference_stubs = str(ROOT / "src" / "python" / "stubs" / "brenlox_copt-stubs" / "__init__.pyi")
benchmark_results = str(ROOT / "benchmarks" / "results")

html_theme = "furo"
html_title = f"brenlox_copt {release}"
html_static_path = ["_static"]
html_css_files = ["site.css"]
html_copy_source = False
html_last_updated_fmt = None
html_favicon = "_static/favicon.svg"
python_use_unqualified_type_names = True
