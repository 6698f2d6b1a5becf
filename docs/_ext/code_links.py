"""Inline code that names something documented becomes a link to it: `add_constraints` or `Model.add_constraints()`
to its API entry, `float`, `KeyboardInterrupt` or `np.asarray(x)` to Python's or NumPy's documentation. The pages stay
plain Markdown, and only names that resolve are linked."""

from __future__ import annotations

import re

from docutils import nodes
from sphinx import addnodes
from sphinx.application import Sphinx
from sphinx.ext.intersphinx._shared import InventoryAdapter
from sphinx.transforms.post_transforms import SphinxPostTransform

NAME = re.compile(r"^(?P<name>[A-Za-z_][A-Za-z0-9_]*(?:\.[A-Za-z_][A-Za-z0-9_]*)*)(?:\(.*\))?$")
ALIASES = {"np.": "numpy."}


class LinkCodeNames(SphinxPostTransform):
    # Before the references are resolved (priority 10), so that the links made here are resolved with the rest.
    default_priority = 5

    def run(self, **kwargs) -> None:
        own = list(self.env.get_domain("py").objects)
        inventory = {name for objtype, entries in InventoryAdapter(self.env).main_inventory.items()
                     if objtype.startswith("py:") for name in entries}
        for literal in list(self.document.findall(nodes.literal)):
            if any(isinstance(parent, (nodes.reference, addnodes.pending_xref, addnodes.desc_signature))
                   for parent in _parents(literal)):
                continue
            match = NAME.match(literal.astext())
            if match is None:
                continue
            target = _target(match["name"], own, inventory)
            if target is None:
                continue
            xref = addnodes.pending_xref("", refdomain="py", reftype="obj", reftarget=target, refexplicit=True,
                                         refwarn=False, refdoc=self.env.docname)
            literal.replace_self(xref)
            xref += literal


def _parents(node: nodes.Node):
    while node.parent is not None:
        node = node.parent
        yield node


def _target(name: str, own: list[str], inventory: set[str]) -> str | None:
    ours = [full for full in own if full == name or full.endswith("." + name)]
    if len(ours) == 1:
        return ours[0]
    for short, full in ALIASES.items():
        if name.startswith(short):
            name = full + name[len(short):]
    return name if name in inventory else None


def setup(app: Sphinx) -> dict:
    app.add_post_transform(LinkCodeNames)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
