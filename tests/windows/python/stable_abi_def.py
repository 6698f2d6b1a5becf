"""Writes the module-definition file of python3.dll from the preprocessed limited-API headers (Py_LIMITED_API set,
line markers kept): every function and object that the headers in the Python include directory declare dllimport,
objects marked DATA; the C runtime's own dllimport declarations are left out. dlltool turns the file into the import
library the cross-built module links against."""

import re
import sys

LINE_MARKER = re.compile(r'^# \d+ "([^"]*)".*$', re.M)
DECLARATION = re.compile(r"__attribute__\(\(dllimport\)\)([^;]*);")
ATTRIBUTE = re.compile(r"__attribute__\s*\(\((?:[^()]|\([^()]*\))*\)\)")
# A pointer-to-function object: its declarator is the first parenthesis, as in "int (*PyOS_InputHook)(void)".
FUNCTION_POINTER = re.compile(r"^[^(]*\(\s*\*\s*(\w+)\s*\)\s*\(")
FUNCTION = re.compile(r"(\w+)\s*\(")
OBJECT = re.compile(r"(\w+)\s*(?:\[[^\]]*\]\s*)*$")


def python_header_text(preprocessed: str, include_dir: str) -> str:
    """The parts of the preprocessed text that come from headers in `include_dir`."""
    pieces = LINE_MARKER.split(preprocessed)
    # split() alternates text and file names: text, file, text, file, text ...
    return "\n".join(text for file, text in zip(pieces[1::2], pieces[2::2]) if file.startswith(include_dir))


def exported_names(declarations: str) -> dict[str, bool]:
    """Each declared name, with True for objects (DATA) and False for functions."""
    names: dict[str, bool] = {}
    for match in DECLARATION.finditer(declarations):
        body = ATTRIBUTE.sub(" ", match[1]).strip()
        pointer = FUNCTION_POINTER.search(body)
        if pointer is not None:
            names[pointer[1]] = True
        elif "(" in body:
            names[FUNCTION.search(body)[1]] = False
        else:
            names[OBJECT.search(body)[1]] = True
    return names


def main(source: str, include_dir: str, target: str) -> None:
    with open(source, encoding="utf-8") as file:
        names = exported_names(python_header_text(file.read(), include_dir.rstrip("/") + "/"))
    if len(names) < 500:
        sys.exit(f"stable_abi_def: only {len(names)} names in {source}; are these the limited-API headers?")
    lines = ["LIBRARY python3.dll", "EXPORTS"]
    lines += [f"  {name} DATA" if is_object else f"  {name}" for name, is_object in sorted(names.items())]
    with open(target, "w", encoding="utf-8") as file:
        file.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
