"""The API reference of the compiled module, made from the module itself and its stub package.

The imported module says what exists (its classes and their public members), the parameters and defaults (its text
signatures) and the first lines of the docstrings it carries; the stubs say the types and the rest of each docstring.
The build fails when the two disagree, so a docstring or a signature changed in the code changes the site, and a
stub that drifts from the module stops it. Usage in a page (the directive writes reStructuredText):

    ```{eval-rst}
    .. module-reference:: brenlox_copt
    ```
"""

from __future__ import annotations

import importlib
from pathlib import Path

from docutils import nodes
from docutils.statemachine import StringList
from sphinx.application import Sphinx
from sphinx.errors import ExtensionError
from sphinx.ext.napoleon.docstring import GoogleDocstring
from sphinx.util.docutils import SphinxDirective
from sphinx.util.nodes import nested_parse_with_titles

from stub_reference import Attribute, Function, Stub, check, read_stub


class ModuleReference(SphinxDirective):
    required_arguments = 1
    has_content = False

    def run(self) -> list[nodes.Node]:
        name = self.arguments[0]
        stub_path = Path(self.config.module_reference_stubs)
        self.env.note_dependency(str(stub_path))
        module = importlib.import_module(name)
        stub = read_stub(stub_path, name)
        problems = check(module, stub)
        if problems:
            raise ExtensionError(f"{name} and its stubs disagree:\n  " + "\n  ".join(problems))
        text = StringList()
        for line in self.render(name, stub):
            text.append(line, str(stub_path))
        holder = nodes.Element()
        holder.document = self.state.document
        nested_parse_with_titles(self.state, text, holder)
        return holder.children

    def render(self, name: str, stub: Stub) -> list[str]:
        lines = [f".. py:module:: {name}", "", *self.docstring(stub.docstring, "module"), ""]
        for class_name in stub.all:
            described = stub.classes[class_name]
            signature = described.new.signatures[0].replace("__new__", class_name, 1) if described.new else class_name
            signature = signature.split(" -> ")[0]
            lines += [f".. py:class:: {signature}", "   :final:", ""]
            lines += _indent(self.docstring(described.docstring, "class"), 3) + [""]
            for member in described.members:
                lines += _indent(self.member(member), 3) + [""]
        lines += ["Types in the signatures", "-----------------------", "",
                  "Names the stubs give to what the methods accept; they exist for type checkers only.", ""]
        for type_name, what, description in stub.types:
            if what == "class":
                lines += [f".. py:class:: {type_name}", "", *_indent(self.docstring(description, "class"), 3), ""]
            else:
                lines += [f".. py:type:: {type_name}", f"   :canonical: {what}", "", f"   {description}", ""]
        return lines

    def member(self, member: Function | Attribute) -> list[str]:
        if isinstance(member, Attribute):
            return [f".. py:attribute:: {member.name}", f"   :type: {member.annotation}",
                    f"   :value: {member.value!r}", "", *_indent(self.docstring(member.docstring, "attribute"), 3)]
        head = [f".. py:method:: {member.signatures[0]}"] + [f"   {more}" for more in member.signatures[1:]]
        body = self.docstring(member.docstring, "method")
        for signature, message in member.deprecated:
            body += ["", f"The form ``{signature}`` is marked deprecated for type checkers: {message}."]
        return head + [""] + _indent(body, 3)

    def docstring(self, text: str, what: str) -> list[str]:
        return GoogleDocstring(text, self.config, what=what).lines()


def _indent(lines: list[str], width: int) -> list[str]:
    return [(" " * width + line) if line else "" for line in lines]


def setup(app: Sphinx) -> dict:
    app.add_config_value("module_reference_stubs", "", "env")
    app.add_directive("module-reference", ModuleReference)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
