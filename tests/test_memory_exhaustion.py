"""Running out of memory at any single allocation, while the module executes or while any constructor or method runs,
ends in the call's own outcome or a MemoryError (or the documented errors that carry one), never in a crash or a
SystemError, and a call that failed for want of memory changed nothing. The sweep runs in a child interpreter
(support/memory_sweep.py), as it relies on the interpreter's test hooks that make allocations fail."""

import json
import subprocess
import sys

import pytest

if sys.platform == "win32":
    pytest.skip("the sweep needs _testcapi's allocation hooks, which the Windows CPython distribution leaves out, and "
                "os.fork", allow_module_level=True)

from support.child import child_environment  # noqa: E402
from support.memory_sweep import OPERATIONS  # noqa: E402



@pytest.fixture(scope="module")
def sweeps(standin_copt_home):
    completed = subprocess.run(
        [sys.executable, "-m", "support.memory_sweep", *OPERATIONS],
        capture_output=True, text=True, timeout=600, check=False,
        # An allocation that fails halfway can leave interpreter memory behind on purpose.
        env=child_environment(leaks_on_purpose=True),
    )
    results = {}
    for line in completed.stdout.splitlines():
        result = json.loads(line)
        results[result["operation"]] = result
    return results, completed


@pytest.fixture(scope="module")
def interpreter_faults():
    """How this interpreter itself fails at creating a class or at raising a formatted error when an allocation fails,
    with no module of ours."""
    completed = subprocess.run(
        [sys.executable, "-m", "support.interpreter_faults"],
        capture_output=True, text=True, timeout=600, check=True, env=child_environment(leaks_on_purpose=True),
    )
    return json.loads(completed.stdout)


@pytest.mark.parametrize("operation", OPERATIONS)
def test_every_failing_allocation_gives_memory_error_or_the_untouched_outcome(sweeps, interpreter_faults, operation):
    interpreter = f"CPython {sys.version.split()[0]} itself"
    # Executing the module creates its classes; an interpreter that mishandles that by itself cannot pass the sweep.
    if operation == "module execution" and interpreter_faults["class creation"]:
        pytest.skip(f"{interpreter}: {'; '.join(interpreter_faults['class creation'])}")
    results, completed = sweeps
    assert operation in results, f"the child ended with code {completed.returncode}:\n{completed.stderr}"
    result = results[operation]
    # The sweep went past the operation's last allocation instead of stopping at its cap.
    assert result["tries"] < 3000
    unexpected = result["unexpected"]
    # Where the interpreter's own PyErr_Format loses the MemoryError (the module formats its messages itself), a try
    # gives the untouched outcome's error with an empty message and, as that error, changes nothing.
    emptied = [f"{result['expected'][0].split(': ', 1)[0]}: ", result["expected"][1]]
    if interpreter_faults["formatted error"]:
        unexpected = {k: outcome for k, outcome in unexpected.items() if outcome != emptied}
        if unexpected == {} and result["unexpected"]:
            pytest.skip(f"{interpreter}: {'; '.join(interpreter_faults['formatted error'])}")
    assert unexpected == {}
