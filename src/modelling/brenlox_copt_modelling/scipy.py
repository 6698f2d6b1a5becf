"""``scipy.optimize.milp`` solved with COPT through brenlox_copt: ``from brenlox_copt_modelling.scipy import milp``."""

from __future__ import annotations

import numpy as np
from scipy.optimize import Bounds, LinearConstraint, OptimizeResult
from scipy.sparse import csr_array, issparse
from scipy.sparse import vstack as _vstack

from . import _core
from ._rows import rows

# Where NumPy keeps it: numpy.exceptions from NumPy 1.25, the top level before.
VisibleDeprecationWarning = getattr(np, "exceptions", np).VisibleDeprecationWarning

# SciPy's options that the module honours, by the solver parameter each becomes; "disp" and "presolve" are handled
# apart and "node_limit" is refused. Any other option goes to the solver as a raw parameter, name unchanged, as
# SciPy hands options it does not know to HiGHS verbatim.
_NAMED = {"time_limit": "time_limit", "mip_rel_gap": "rel_gap"}
_REFUSED = {"node_limit": "the module has no node limit"}
_RESULT_NAMES = {
    _core.NO_OUTCOME: "no usable outcome",
    _core.OPTIMAL: "optimal",
    _core.INFEASIBLE: "infeasible",
    _core.UNBOUNDED: "unbounded",
    _core.STOPPED_WITH_SOLUTION: "stopped with a solution",
}


def milp(c, *, integrality=None, bounds=None, constraints=None, options=None):
    """Takes what ``scipy.optimize.milp`` takes and returns its ``OptimizeResult`` (``status``, ``success``,
    ``message``, ``x``, ``fun``; ``mip_node_count``, ``mip_dual_bound`` and ``mip_gap`` are None, as the module
    does not give them). Semi-continuous and semi-integer variables (integrality 2 and 3) and ``node_limit`` are
    refused with ``ValueError``; ``presolve=False`` is accepted with a warning, as it changes no result."""
    c, integrality, lb, ub, matrix, b_l, b_u = _milp_iv(c, integrality, bounds, constraints)
    settings = _settings(options)
    special = np.flatnonzero(integrality > 1)
    if special.size:
        raise ValueError(f"brenlox_copt cannot solve semi-continuous or semi-integer variables (integrality 2 or 3): "
                         f"found at indices {special[:10].tolist()}")
    if np.isnan(b_l).any() or np.isnan(b_u).any():
        raise ValueError("brenlox_copt: constraint bounds must not be NaN")
    if np.any(b_l > b_u) or np.any(b_l == np.inf) or np.any(b_u == -np.inf):
        # A row whose bounds no value meets: infeasible, without building a model (crossed variable bounds are the
        # shared rule's, in _core.run).
        return _answer(2, "The problem is infeasible. (found before solving: a row's lower bound above its upper)")
    arrays = _arrays(c, integrality, lb, ub, matrix, b_l, b_u)
    outcome = _core.run(arrays, settings, lambda message: ValueError(f"brenlox_copt: {message}"))
    return _result(outcome, settings)


def _settings(options) -> _core.Settings:
    options = dict(options or {})
    for key in options.keys() & _REFUSED.keys():
        raise ValueError(f"brenlox_copt does not support the option {key}: {_REFUSED[key]}")
    settings = _core.Settings(silent=not options.pop("disp", False))
    if not options.pop("presolve", True):
        _core.warn_once("scipy.presolve", "brenlox_copt ignores presolve=False: the solver presolves as it decides "
                        "(the answer is the same)", "scipy", RuntimeWarning)
    for key, field in _NAMED.items():
        if key in options:
            setattr(settings, field, options.pop(key))
    settings.raw = options
    return settings


def _milp_iv(c, integrality, bounds, constraints):
    """SciPy's checks of milp's arguments, with its messages, keeping the constraint matrix in rows."""
    if issparse(c):
        raise ValueError("`c` must be a dense array.")
    c = np.atleast_1d(c).astype(np.float64)
    if c.ndim != 1 or c.size == 0 or not np.all(np.isfinite(c)):
        raise ValueError("`c` must be a one-dimensional array of finite numbers with at least one element.")

    if issparse(integrality):
        raise ValueError("`integrality` must be a dense array.")
    message = "`integrality` must contain integers 0-3 and be broadcastable to `c.shape`."
    try:
        integrality = np.broadcast_to(0 if integrality is None else integrality, c.shape).astype(np.uint8)
    except ValueError:
        raise ValueError(message) from None
    if integrality.min() < 0 or integrality.max() > 3:
        raise ValueError(message)

    if bounds is None:
        bounds = Bounds(0, np.inf)
    elif not isinstance(bounds, Bounds):
        try:
            bounds = Bounds(*bounds)
        except TypeError as exc:
            raise ValueError("`bounds` must be convertible into an instance of `scipy.optimize.Bounds`.") from exc
    try:
        lb = np.broadcast_to(bounds.lb, c.shape).astype(np.float64)
        ub = np.broadcast_to(bounds.ub, c.shape).astype(np.float64)
    except (ValueError, TypeError) as exc:
        raise ValueError("`bounds.lb` and `bounds.ub` must contain reals and be broadcastable to `c.shape`.") from exc

    message = ("`constraints` (or each element within `constraints`) must be convertible into an instance of "
               "`scipy.optimize.LinearConstraint`.")
    if not constraints:
        matrix, b_l, b_u = csr_array((0, c.size)), np.empty(0), np.empty(0)
    else:
        try:
            matrix, b_l, b_u = _components(constraints, message)
        except ValueError as exc:
            raise ValueError(message) from exc
    if matrix.shape != (b_l.size, c.size):
        raise ValueError("The shape of `A` must be (len(b_l), len(c)).")
    return c, integrality, lb, ub, matrix, b_l, b_u


def _components(constraints, message):
    """One LinearConstraint, a tuple that makes one, or a sequence of either: as one compressed-row matrix and
    its row bounds."""
    if isinstance(constraints, LinearConstraint):
        constraints = [constraints]
    else:
        try:
            iter(constraints)
        except TypeError as exc:
            raise ValueError(message) from exc
        if len(constraints) == 3:
            try:
                constraints = [LinearConstraint(*constraints)]
            except (TypeError, ValueError, VisibleDeprecationWarning):
                pass  # not one constraint as a tuple: a sequence of three constraints
    matrices, lowers, uppers = [], [], []
    for constraint in constraints:
        if not isinstance(constraint, LinearConstraint):
            try:
                constraint = LinearConstraint(*constraint)
            except TypeError as exc:
                raise ValueError(message) from exc
        matrices.append(csr_array(constraint.A))
        lowers.append(np.atleast_1d(constraint.lb).astype(np.float64))
        uppers.append(np.atleast_1d(constraint.ub).astype(np.float64))
    if len(matrices) == 1:
        return matrices[0], lowers[0], uppers[0]
    return _vstack(matrices, format="csr"), np.concatenate(lowers), np.concatenate(uppers)


def _arrays(c, integrality, lb, ub, matrix, b_l, b_u) -> _core.Arrays:
    """b_l <= A x <= b_u as the module's rows: "=" where both sides agree, else ">" and "<" for each finite side
    (the module has no ranged rows); rows free on both sides are left out."""
    equal = b_l == b_u
    lower = np.flatnonzero(~equal & (b_l > -np.inf))
    upper = np.flatnonzero(~equal & (b_u < np.inf))
    equal = np.flatnonzero(equal)
    order = np.concatenate([equal, lower, upper])
    if order.size != matrix.shape[0] or np.any(order != np.arange(order.size)):
        matrix = matrix[order]
    nonzero = np.flatnonzero(c)
    arrays = _core.Arrays(lbs=lb, ubs=ub, vtypes=["I" if k else "C" for k in integrality] if integrality.any() else None,
                          senses=["="] * equal.size + [">"] * lower.size + ["<"] * upper.size,
                          rhss=np.concatenate([b_l[equal], b_l[lower], b_u[upper]]),
                          obj_vars=nonzero, obj_coeffs=c[nonzero])
    if order.size:
        arrays.row_vars, arrays.row_coeffs = rows(matrix.indptr, matrix.indices, matrix.data)
    return arrays


def _result(outcome: _core.Outcome, settings: _core.Settings) -> OptimizeResult:
    limit = _core.ran_to_time_limit(outcome, settings)
    if outcome.code == _core.OPTIMAL:
        status, text = 0, "Optimization terminated successfully. "
    elif outcome.code == _core.INFEASIBLE:
        status, text = 2, "The problem is infeasible. "
    elif outcome.code == _core.UNBOUNDED:
        status, text = 3, "The problem is unbounded. "
    elif limit:
        status, text = 1, "Time limit reached. "
    elif outcome.code == _core.STOPPED_WITH_SOLUTION:
        status, text = 4, "The solver stopped early with a feasible solution. "
    else:
        status, text = 4, "The solver reached no definite outcome (the problem may be infeasible or unbounded). "
    message = f"{text}(COPT result {outcome.code}: {_RESULT_NAMES[outcome.code]})"
    if outcome.values is None:
        return _answer(status, message)
    return _answer(status, message, np.array(outcome.values, dtype=np.float64), float(outcome.objective))


def _answer(status: int, message: str, x=None, fun=None) -> OptimizeResult:
    return OptimizeResult(status=status, message=message, success=status == 0, x=x, fun=fun, mip_node_count=None,
                          mip_dual_bound=None, mip_gap=None)
