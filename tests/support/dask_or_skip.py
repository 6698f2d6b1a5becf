"""Dask's distributed scheduler for the tests that start a LocalCluster, or a skip saying why there is none."""

import pytest


def require_distributed() -> None:
    """Skips the calling test where distributed cannot be imported: not installed for this interpreter (the Windows
    check installs only pytest and hypothesis), or a dependency without a build for it."""
    try:
        import distributed  # noqa: F401
    except ImportError as error:
        pytest.skip(f"no Dask cluster here: distributed cannot be imported ({error})")
