"""Usage: pack_wheel.py MODULE TAG WHEELHOUSE

Packs a cross-built module (brenlox_copt.pyd for Windows, brenlox_copt.abi3.so for macOS) into the wheel of that tag
(as cp311-abi3-win_amd64): the module, the stub package, the modelling adapters' package and the metadata the project's build backend writes for its
own wheels."""

import base64
import contextlib
import hashlib
import io
import sys
import tempfile
import zipfile
from pathlib import Path

from scikit_build_core.build import prepare_metadata_for_build_wheel

ROOT = Path(__file__).resolve().parents[1]


def record_row(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode("ascii")
    return f"{name},sha256={digest},{len(data)}"


def main(module: Path, tag: str, wheelhouse: Path) -> None:
    with tempfile.TemporaryDirectory() as metadata_dir:
        with contextlib.redirect_stdout(io.StringIO()):  # the backend's banner
            dist_info = prepare_metadata_for_build_wheel(metadata_dir)
        # METADATA and the licence files as the backend wrote them; WHEEL gets the tag below.
        written = {path.relative_to(metadata_dir).as_posix(): path.read_bytes()
                   for path in sorted(Path(metadata_dir, dist_info).rglob("*")) if path.is_file()}
    wheel = written.pop(f"{dist_info}/WHEEL").decode("utf-8")
    lines = [line for line in wheel.splitlines() if line and not line.startswith("Tag:")]
    files = {
        module.name: module.read_bytes(),
        "brenlox_copt-stubs/__init__.pyi": (ROOT / "src/python/stubs/brenlox_copt-stubs/__init__.pyi").read_bytes(),
        **{f"brenlox_copt_modelling/{path.name}": path.read_bytes()
           for path in sorted((ROOT / "src/modelling/brenlox_copt_modelling").glob("*.py"))},
        **written,
        f"{dist_info}/WHEEL": "\n".join([*lines, f"Tag: {tag}", ""]).encode("utf-8"),
    }
    record = [record_row(name, data) for name, data in files.items()] + [f"{dist_info}/RECORD,,"]
    files[f"{dist_info}/RECORD"] = ("\n".join(record) + "\n").encode("utf-8")
    wheelhouse.mkdir(parents=True, exist_ok=True)
    name = dist_info.removesuffix(".dist-info")
    with zipfile.ZipFile(wheelhouse / f"{name}-{tag}.whl", "w", zipfile.ZIP_DEFLATED) as archive:
        for path, data in files.items():
            archive.writestr(path, data)


if __name__ == "__main__":
    main(Path(sys.argv[1]), sys.argv[2], Path(sys.argv[3]))
