"""Links from a page to a file of the repository that the site shows as a page of its own (the README as the front
page, the changelog, the benchmark results, the stand-in's README) lead to that page, on the site as on the
repository's own pages. Configured by `repository_pages`: {file relative to the repository: page}."""

from __future__ import annotations

from pathlib import Path

from docutils import nodes
from sphinx import addnodes
from sphinx.application import Sphinx


def link_to_pages(app: Sphinx, doctree: nodes.document) -> None:
    root = Path(app.srcdir).parent
    pages = {(root / path).resolve(): page for path, page in app.config.repository_pages.items()}
    # A link to a file outside the pages becomes a download, one to a Markdown file outside them a reference to a
    # document that does not exist, and one the reader of an included file could not place (its path is the
    # repository's) an unknown reference: any of them may name such a file.
    docs = app.env.found_docs
    candidates = [node for node in doctree.findall(addnodes.pending_xref)
                  if node.get("refdomain") is None or (node.get("refdomain") == "doc" and node["reftarget"] not in docs)]
    for reference in list(doctree.findall(addnodes.download_reference)) + candidates:
        target, _, anchor = reference["reftarget"].partition("#")
        anchor = anchor or reference.get("reftargetid") or ""
        _, absolute = app.env.relfn2path(target, app.env.docname)
        paths = [Path(absolute), root / target, Path(target + ".md")]
        page = next((pages[path.resolve()] for path in paths if path.resolve() in pages), None)
        if page is None:
            continue
        replacement = addnodes.pending_xref("", *reference.children, refdomain="doc", reftype="myst",
                                            reftarget=page, reftargetid=anchor or None, refdoc=app.env.docname,
                                            refexplicit=reference.get("refexplicit", True), classes=["xref", "myst"])
        reference.replace_self(replacement)


def setup(app: Sphinx) -> dict:
    app.add_config_value("repository_pages", {}, "env")
    # Before the download collector copies the files.
    app.connect("doctree-read", link_to_pages, priority=400)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
