"""The stand-in library files: their exports, their variants, and the load and unload events that tests rely on."""

import re
import struct
import subprocess
import sys
from pathlib import Path

import pytest
from standin_ctypes import Copt

HEADER = Path(__file__).resolve().parents[2] / "src" / "backend" / "copt_api.h"
# From the header rather than the build, so that collection works before anything is built.
ENTRY_POINTS = tuple(re.findall(r"X\((COPT_\w+),", HEADER.read_text()))


def pe_exports(image: bytes) -> set[str]:
    """The names in a PE32+ file's export table (Windows has no nm)."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    section_count = struct.unpack_from("<H", image, header + 6)[0]
    optional_size = struct.unpack_from("<H", image, header + 20)[0]
    table = header + 24 + optional_size
    sections = [struct.unpack_from("<4I", image, table + 40 * i + 8) for i in range(section_count)]

    def at(rva: int) -> int:
        size, address, raw_size, raw = next(s for s in sections if s[1] <= rva < s[1] + max(s[0], s[2]))
        return rva - address + raw

    directory = at(struct.unpack_from("<I", image, header + 24 + 112)[0])  # the first data directory of PE32+
    count = struct.unpack_from("<I", image, directory + 24)[0]
    names = at(struct.unpack_from("<I", image, directory + 32)[0])
    result = set()
    for index in range(count):
        start = at(struct.unpack_from("<I", image, names + 4 * index)[0])
        result.add(image[start : image.index(b"\0", start)].decode("ascii"))
    return result


def exported(path) -> set[str]:
    if sys.platform == "win32":
        return pe_exports(Path(path).read_bytes())
    output = subprocess.run(["nm", "-D", "--defined-only", str(path)], check=True, capture_output=True, text=True)
    return {line.split()[-1] for line in output.stdout.splitlines() if line.strip()}


def test_entry_points_follow_the_header(standin):
    assert standin.entry_points() == ENTRY_POINTS


def test_copt_dll_exports_exactly_the_entry_points(standin):
    assert exported(standin.library_path()) == set(standin.entry_points())


@pytest.mark.parametrize("missing", ENTRY_POINTS)
def test_variant_lacks_one_entry_point_and_logs_its_load(standin, missing):
    path = standin.variant_path(missing)
    assert exported(path) == set(standin.entry_points()) - {missing}
    library = Copt(path)
    assert standin.loaded() == 1
    assert not hasattr(library.dll, missing)
    library.close()
    assert standin.events() == [f"load:without_{missing}", f"unload:without_{missing}"]
    assert standin.loaded() == 0


def test_release_order_is_visible(standin):
    library = Copt(standin.library_path())
    env, prob = library.new_problem()
    assert library.delete("COPT_DeleteProb", prob) == 0
    assert library.delete("COPT_DeleteEnv", env) == 0
    library.close()
    assert standin.history() == [
        "load", "COPT_CreateEnv", "COPT_CreateProb", "COPT_SetIntParam", "COPT_DeleteProb", "COPT_DeleteEnv", "unload"
    ]


def test_state_outlives_an_unload(standin):
    library = Copt(standin.library_path())
    env, prob = library.new_problem()
    library.close()
    # A problem leaked past the unload stays visible, and a later load can still delete it.
    assert (standin.loaded(), standin.live()) == (0, {"configs": 0, "envs": 1, "problems": 1})
    again = Copt(standin.library_path())
    assert again.delete("COPT_DeleteProb", prob) == 0
    assert again.delete("COPT_DeleteEnv", env) == 0
    again.close()
    assert standin.live() == {"configs": 0, "envs": 0, "problems": 0}
    assert standin.events() == ["load", "unload", "load", "unload"]
