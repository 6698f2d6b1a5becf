"""What the API reference is made of: the stub package read (types and docstrings) and checked against the imported
module (what exists, parameters and defaults, the first lines of its docstrings). Plain Python, so that the tests
check the same agreement on every interpreter (tests/test_docs.py) as the site's build does (module_reference.py)."""

from __future__ import annotations

import ast
import inspect
from dataclasses import dataclass, field
from pathlib import Path


@dataclass
class Function:
    name: str
    signatures: list[str]  # one per overload, annotated, names qualified for cross-references
    parameters: list[tuple[str, str | None]]  # the last overload's names and defaults, as the module must have them
    docstring: str
    deprecated: list[tuple[str, str]] = field(default_factory=list)  # (signature, message) of deprecated overloads


@dataclass
class Attribute:
    name: str
    annotation: str
    value: object
    docstring: str


@dataclass
class Class:
    name: str
    docstring: str
    new: Function | None
    members: list[Function | Attribute]


@dataclass
class Stub:
    docstring: str
    all: list[str]
    classes: dict[str, Class]
    types: list[tuple[str, str, str]]  # private names the signatures use: (name, what, description)


class _Qualify(ast.NodeTransformer):
    """Gives names their full path, so that the signatures link to Python's documentation and to this page."""

    def __init__(self, imported: dict[str, str], module: str, local: set[str]) -> None:
        self.imported, self.module, self.local = imported, module, local

    def visit_Name(self, node: ast.Name) -> ast.AST:
        if node.id in self.imported:
            return ast.copy_location(ast.Name(self.imported[node.id]), node)
        if node.id in self.local:
            return ast.copy_location(ast.Name(f"{self.module}.{node.id}"), node)
        return node


def _docstring(body: list[ast.stmt]) -> str:
    first = body[0] if body else None
    if isinstance(first, ast.Expr) and isinstance(first.value, ast.Constant) and isinstance(first.value.value, str):
        return inspect.cleandoc(first.value.value)
    return ""


def _decorator_names(function: ast.FunctionDef) -> dict[str, ast.expr]:
    found = {}
    for decorator in function.decorator_list:
        target = decorator.func if isinstance(decorator, ast.Call) else decorator
        found[ast.unparse(target)] = decorator
    return found


def _comment_above(lines: list[str], line: int) -> str:
    """The comment lines right above a statement (1-based line), joined."""
    found = []
    index = line - 2
    while index >= 0 and lines[index].startswith("#"):
        found.insert(0, lines[index].lstrip("#").strip())
        index -= 1
    return " ".join(found)


def read_stub(path: Path, module: str) -> Stub:
    source = path.read_text(encoding="utf-8")
    tree = ast.parse(source)
    lines = source.splitlines()
    imported = {alias.asname or alias.name: f"{statement.module}.{alias.name}"
                for statement in tree.body if isinstance(statement, ast.ImportFrom)
                for alias in statement.names}
    local = {statement.target.id for statement in tree.body
             if isinstance(statement, ast.AnnAssign) and isinstance(statement.target, ast.Name)}
    local |= {statement.name for statement in tree.body if isinstance(statement, ast.ClassDef)}
    qualify = _Qualify(imported, module, local)

    def annotation(node: ast.expr | None) -> str:
        return "" if node is None else ast.unparse(qualify.visit(ast.parse(ast.unparse(node), mode="eval")).body)

    def function(overloads: list[ast.FunctionDef]) -> Function:
        signatures, deprecated, docstring = [], [], ""
        for definition in overloads:
            arguments = definition.args
            positional = arguments.args[1:]  # self or cls
            defaults = [None] * (len(positional) - len(arguments.defaults)) + list(arguments.defaults)
            parts = []
            for argument, default in zip(positional, defaults):
                text = argument.arg + (f": {annotation(argument.annotation)}" if argument.annotation else "")
                parts.append(text + ("" if default is None else f" = {ast.unparse(default)}"))
            returns = f" -> {annotation(definition.returns)}" if definition.returns else ""
            signature = f"{definition.name}({', '.join(parts)}){returns}"
            signatures.append(signature)
            marks = _decorator_names(definition)
            if "deprecated" in marks:
                deprecated.append((signature, ast.literal_eval(marks["deprecated"].args[0])))
            docstring = _docstring(definition.body) or docstring
        last = overloads[-1].args
        names = [argument.arg for argument in last.args[1:]]
        defaults = [None] * (len(names) - len(last.defaults)) + [ast.unparse(value) for value in last.defaults]
        return Function(overloads[0].name, signatures, list(zip(names, defaults)), docstring, deprecated)

    classes: dict[str, Class] = {}
    types: list[tuple[str, str, str]] = []
    for index, statement in enumerate(tree.body):
        if isinstance(statement, ast.ClassDef):
            if statement.name.startswith("_"):
                types.append((statement.name, "class", _docstring(statement.body)))
                continue
            members: list[Function | Attribute] = []
            new = None
            body = statement.body
            for position, member in enumerate(body):
                if isinstance(member, ast.FunctionDef):
                    if members and isinstance(members[-1], list) and members[-1][0].name == member.name:
                        members[-1].append(member)
                    else:
                        members.append([member])
                elif isinstance(member, ast.AnnAssign) and isinstance(member.target, ast.Name):
                    following = body[position + 1] if position + 1 < len(body) else None
                    docstring = _docstring([following]) if following is not None else ""
                    value = ast.literal_eval(member.value) if member.value is not None else None
                    kind = annotation(member.annotation)
                    if kind == "typing.Final" and value is not None:
                        kind = type(value).__name__
                    members.append(Attribute(member.target.id, kind, value, docstring))
            finished: list[Function | Attribute] = []
            for member in members:
                if isinstance(member, list):
                    made = function(member)
                    if made.name == "__new__":
                        new = made
                    else:
                        finished.append(made)
                else:
                    finished.append(member)
            classes[statement.name] = Class(statement.name, _docstring(statement.body), new, finished)
        elif (isinstance(statement, ast.AnnAssign) and isinstance(statement.target, ast.Name)
              and ast.unparse(statement.annotation) == "TypeAlias"):
            description = _comment_above(lines, statement.lineno)
            types.append((statement.target.id, annotation(statement.value), description))
    all_names = next(ast.literal_eval(statement.value) for statement in tree.body
                     if isinstance(statement, ast.Assign) and ast.unparse(statement.targets[0]) == "__all__")
    return Stub(_docstring(tree.body), all_names, classes, types)


def _runtime_parameters(obj: object) -> list[tuple[str, str | None]]:
    parameters = list(inspect.signature(obj).parameters.values())
    if parameters and parameters[0].name in ("self", "cls", "type"):
        parameters = parameters[1:]
    return [(p.name, None if p.default is inspect.Parameter.empty else repr(p.default)) for p in parameters]


def check(module: object, stub: Stub) -> list[str]:
    """Where the stub and the imported module disagree."""
    problems = []
    name = module.__name__
    if list(module.__all__) != stub.all:
        problems.append(f"{name}.__all__ is {module.__all__}, the stubs say {stub.all}")
    for class_name in stub.all:
        described, runtime = stub.classes.get(class_name), getattr(module, class_name, None)
        if described is None or runtime is None:
            problems.append(f"{name}.{class_name}: in the module or in the stubs only")
            continue
        problems += _check_docstring(f"{name}.{class_name}", runtime.__doc__, described.docstring)
        if runtime.__text_signature__ is not None:
            wanted = described.new.parameters if described.new else []
            if _runtime_parameters(runtime) != wanted:
                problems.append(f"{name}.{class_name}: the module takes {_runtime_parameters(runtime)}, "
                                f"the stubs say {wanted}")
        public = [member for member in vars(runtime) if not member.startswith("__")]
        stubbed = [member.name for member in described.members]
        if sorted(public) != sorted(stubbed):
            problems.append(f"{name}.{class_name}: the module has {sorted(public)}, the stubs {sorted(stubbed)}")
            continue
        for member in described.members:
            value = getattr(runtime, member.name)
            where = f"{name}.{class_name}.{member.name}"
            if isinstance(member, Attribute):
                if value != member.value:
                    problems.append(f"{where} is {value!r}, the stubs say {member.value!r}")
                continue
            problems += _check_docstring(where, value.__doc__, member.docstring)
            if _runtime_parameters(value) != member.parameters:
                problems.append(f"{where}: the module takes {_runtime_parameters(value)}, "
                                f"the stubs say {member.parameters}")
    return problems


def _check_docstring(where: str, runtime: str | None, stubbed: str) -> list[str]:
    if not stubbed:
        return [f"{where}: no docstring in the stubs"]
    if runtime and not stubbed.startswith(runtime):
        return [f"{where}: the module's docstring {runtime!r} does not begin the stubs' {stubbed.splitlines()[0]!r}"]
    return []
