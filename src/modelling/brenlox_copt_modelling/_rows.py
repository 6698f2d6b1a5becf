"""A compressed-row matrix as the module's batch methods read it fastest."""

from __future__ import annotations

import numpy as np

from . import _core


def rows(indptr, indices, data):
    """The rows as two 2-D arrays when they all have one length (read whole, with no object per row), else as
    one list per row."""
    counts = np.diff(indptr)
    if counts.size and counts[0] and np.all(counts == counts[0]):
        end = int(indptr[-1])
        width = int(counts[0])
        start = int(indptr[0])
        return (indices[start:end].reshape(-1, width),
                np.asarray(data[start:end], dtype=np.float64).reshape(-1, width))
    return _core.csr_rows(indptr, indices, data)
