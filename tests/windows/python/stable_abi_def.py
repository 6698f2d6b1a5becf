"""Writes the module-definition file of python3.dll from the preprocessed limited-API headers (Py_LIMITED_API set):
every function and object those headers declare dllimport, objects marked DATA. dlltool turns it into the import
library the cross-built module links against."""

import re
import sys

DECLARATION = re.compile(r"(extern\s+)?__attribute__\(\(dllimport\)\)([^;]*);")
ATTRIBUTE = re.compile(r"__attribute__\s*\(\((?:[^()]|\([^()]*\))*\)\)")
FUNCTION_POINTER = re.compile(r"\(\s*\*\s*(\w+)\s*\)")
FUNCTION = re.compile(r"(\w+)\s*\(")
OBJECT = re.compile(r"(\w+)\s*(?:\[[^\]]*\]\s*)*$")


def exported_names(preprocessed: str) -> dict[str, bool]:
    """Each declared name, with True for objects (DATA) and False for functions."""
    names: dict[str, bool] = {}
    for match in DECLARATION.finditer(preprocessed):
        body = ATTRIBUTE.sub(" ", match[2])
        pointer = FUNCTION_POINTER.search(body)
        if pointer is not None:
            names[pointer[1]] = True
        elif "(" in body:
            names[FUNCTION.search(body)[1]] = False
        else:
            names[OBJECT.search(body.strip())[1]] = True
    return names


def main(source: str, target: str) -> None:
    with open(source, encoding="utf-8") as file:
        names = exported_names(file.read())
    if len(names) < 500:
        sys.exit(f"stable_abi_def: only {len(names)} names in {source}; are these the limited-API headers?")
    lines = ["LIBRARY python3.dll", "EXPORTS"]
    lines += [f"  {name} DATA" if is_object else f"  {name}" for name, is_object in sorted(names.items())]
    with open(target, "w", encoding="utf-8") as file:
        file.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
