"""Usage: wheel_contents.py WHEEL MODULE

Fails unless the wheel holds exactly the module file MODULE, its stubs, the modelling adapters' package (every .py
of src/modelling/brenlox_copt_modelling) and the licence, beside the metadata every wheel has."""

import sys
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]


def main(wheel: str, module: str) -> int:
    with zipfile.ZipFile(wheel) as archive:
        names = {name for name in archive.namelist() if not name.endswith("/")}
    held = {name for name in names if not name.endswith((".dist-info/METADATA", ".dist-info/WHEEL", ".dist-info/RECORD"))}
    adapters = {f"brenlox_copt_modelling/{path.name}"
                for path in (ROOT / "src/modelling/brenlox_copt_modelling").glob("*.py")}
    expected = {module, "brenlox_copt-stubs/__init__.pyi", "brenlox_copt-0.1.0.dist-info/licenses/LICENSE", *adapters}
    if held != expected:
        print(f"wheel_contents: {Path(wheel).name} should hold exactly the module, its stubs, the modelling adapters "
              f"and the licence; missing {sorted(expected - held)}, extra {sorted(held - expected)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
