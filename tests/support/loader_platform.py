"""What the library search looks like on this platform: the separator candidates are joined with, the fixed install
directory's candidate, the loader's failure texts (on POSIX the call's name and dlerror's own text, which names the
cause; on Windows the call's name alone, as the system's error code is not part of the text), and how tests place a
library and set COPT_HOME."""

import ctypes
import shutil
import sys

WINDOWS = sys.platform == "win32"
SEP = "\\" if WINDOWS else "/"
# The fixed directory keeps its Windows spelling everywhere; on POSIX it is a relative name joined with '/'.
FIXED_CANDIDATE = f"C:\\Program Files\\copt80{SEP}bin{SEP}copt.dll"
_CALLS = {"open": "LoadLibraryExW", "symbol": "GetProcAddress"} if WINDOWS else {"open": "dlopen", "symbol": "dlsym"}


def joined(text: str) -> str:
    """A candidate written with '/' where the module joins components, in this platform's spelling."""
    return text.replace("/", SEP)


def assert_loader_failure(message: str, prefix: str, call: str, cause: str = "") -> None:
    """`message` is `prefix` followed by the failure of the loader's `call` ("open" or "symbol"); on POSIX dlerror's
    text follows and must contain `cause`."""
    if WINDOWS:
        assert message == f"{prefix}{_CALLS[call]} failed", message
        return
    head = f"{prefix}{_CALLS[call]} failed: "
    assert message.startswith(head) and len(message) > len(head), message
    assert cause in message[len(head) :], message


def place_library(source, path) -> None:
    """Makes `path` a working copt.dll: a link to `source`, or a copy where links do not work (Wine's)."""
    path.parent.mkdir(parents=True, exist_ok=True)
    if WINDOWS:
        shutil.copyfile(source, path)
    else:
        path.symlink_to(source)


def set_copt_home(monkeypatch, value: str) -> None:
    """Sets COPT_HOME for the test, also to an empty value, which os.environ on Windows would remove instead."""
    monkeypatch.setenv("COPT_HOME", value)
    if WINDOWS and value == "":
        assert ctypes.WinDLL("kernel32").SetEnvironmentVariableW("COPT_HOME", "")
