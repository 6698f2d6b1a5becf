# Type information for the brenlox_copt extension module; shipped as a stub package in the same wheel.
"""Build linear and mixed-integer models and solve them with the COPT solver.

The module exports four classes, ``__all__ == ["COPT", "Env", "EnvrConfig", "Model"]``. Their types are in this stub
package, ``brenlox_copt-stubs``, shipped in the same wheel: a sequence of numbers or ids is typed as anything indexed
by position and slice (so NumPy arrays, ``array.array`` and other buffers type-check as they run), and the values the
solver refuses for ``"Silent"`` and ``"TimeLimit"`` match deprecated overloads.

Rules common to every constructor and method
--------------------------------------------

- Every parameter may be passed by position or by keyword; parameters shown with ``= None`` are optional, and None
  means "not given".
- Argument kinds: an *integer* is an ``int`` (also ``bool``) or any object with ``__index__`` (NumPy integers); a
  *number* is anything ``float()`` accepts without parsing text (``float``, ``int``, objects with ``__float__`` or
  ``__index__``); a *text* is a ``str``; a *character* is a ``str`` of exactly one character; a *sequence* is any
  sequence that is not a ``str`` (list, tuple, ``range``, NumPy array, ...), its items of the kind named.
- Binding errors (too many positional arguments, unknown or repeated keywords, missing required arguments) raise
  ``TypeError`` naming the callable, for example "Model.add_constraint() missing 5 required positional arguments:
  'vars', 'coeffs', 'constant', 'sense', and 'rhs'". A keyword that is no ``str`` (``**{1: 0}``) is refused by the
  interpreter itself for a method ("keywords must be strings") and with the callable's name for a constructor.
- Conversion errors carry the note "while processing '{parameter}'": a wrong type is ``TypeError`` ("'int' object is
  not an instance of 'str'", "'None' is not an instance of 'Sequence'", ``"Can't extract `str` to `Vec`"`` for a
  ``str`` where a sequence is required), a character of another length is ``ValueError`` "expected a string of
  length 1", an integer out of range is ``OverflowError``. A sequence's length is only a hint: a ``__len__`` that
  raises ``TypeError`` is passed over. Any other exception raised while an argument is read (in a ``__len__``,
  ``__index__``, ``__float__`` or iteration; a ``KeyboardInterrupt``, ``SystemExit`` or ``MemoryError`` included) ends
  the call as it is, with the note (none for the values of ``set_optimizer_attr`` and ``EnvrConfig.set``, whose
  conversion rules say which failures are passed over). That includes reading the names of an argument's type (its
  ``__module__``, to recognise NumPy and ``array`` types, and its ``__qualname__``, for a message): only a missing
  name (``AttributeError``) is passed over, with "<failed to extract type name>" standing in for a name that is
  missing or no ``str``.
- Ctrl-C stops a long conversion promptly with ``KeyboardInterrupt``, with the note: the signal handlers run every
  65,536 items. Every sequence is read to its end before its length is compared, so an endless one such as
  ``range(2**40)`` ends only with Ctrl-C or with ``MemoryError`` once the machine's memory is gone.
- Values are judged after conversion; those refusals raise ``RuntimeError`` with a text described under
  `Error texts`_.
- ``Env``, ``EnvrConfig`` and ``Model`` objects are bound to their creating thread: any use on another thread raises
  ``pyo3_runtime.PanicException`` (a ``BaseException``) "{type path} is unsendable, but sent to another thread". A
  method re-entered on its own object while it runs raises ``RuntimeError`` "Already borrowed" (or "Already mutably
  borrowed" for a read inside an edit).
- A failed call changes nothing, with one exception: ``set_objective`` when the solver refuses the objective's
  constant or sense (see there).
- The classes cannot be subclassed and their instances take no new attributes.

Error texts
-----------

Every ``RuntimeError`` of a model, environment or configuration has one of these forms:

.. list-table::
   :header-rows: 1

   * - form
     - raised for
   * - ``Invalid input: {message}``
     - refused values: lengths, NaN or infinite numbers, bounds, types, 32-bit limits, parameter value kinds, NUL
       characters in configuration texts and raw parameter names
   * - ``Invalid variable index: {id}``
     - a constraint or objective term naming a variable that does not exist
   * - ``Invalid name: {kind} name contains an embedded NUL byte``
     - a variable or constraint name with a NUL character
   * - ``Backend state error: {message}``
     - a solver call that reported success but returned no handle; an environment lock poisoned by an earlier
       internal failure
   * - ``COPT error in {function}: code {code}: {text}``
     - the solver library returned a nonzero code; ``{text}`` is the library's own description, and ``: {text}`` is
       left out when it has none
   * - ``COPT native library was not found; checked {path} ...``
     - no library file at any searched path
   * - ``failed to load COPT library: failed to open COPT library {path}: {reason}``
     - the file exists but the system loader refused it
   * - ``failed to load COPT library: failed to load COPT symbol {name} from {path}: {reason}``
     - the library lacks an entry point the module needs

Numbers in messages: integers in decimal; floats in the shortest form that reads back exactly, never with an exponent
(``5.0`` shows as ``5``, ``1e30`` as a 1 followed by 30 zeros); ``inf``, ``-inf`` and ``NaN`` for non-finite values.
"""

from collections.abc import Sequence
from typing import Final, Literal, Protocol, SupportsFloat, SupportsIndex, TypeAlias, TypeVar, final, overload

from typing_extensions import deprecated

__all__ = ["COPT", "Env", "EnvrConfig", "Model"]

_T_co = TypeVar("_T_co", covariant=True)

class _SequenceLike(Protocol[_T_co]):
    """What the module reads as a sequence: anything indexed by position and by slice, so lists, tuples, ranges,
    NumPy arrays, array.array, bytes and memoryview (NumPy's own stubs give arrays no __buffer__ before Python 3.12,
    hence a protocol rather than collections.abc.Buffer). Mappings and sets are not sequences to the module."""

    def __len__(self) -> int: ...
    @overload
    def __getitem__(self, index: int, /) -> _T_co: ...
    @overload
    def __getitem__(self, index: slice, /) -> object: ...

class _BoolScalar(Protocol):
    """A NumPy bool scalar, which the module takes as a bool."""

    def item(self) -> bool: ...

# Anything the module reads as a float: float, int, bool and objects with __float__ or __index__ (NumPy scalars).
_Number: TypeAlias = SupportsFloat | SupportsIndex
# Anything the module reads as an integer: int, bool and objects with __index__.
_Integer: TypeAlias = SupportsIndex
_Numbers: TypeAlias = _SequenceLike[_Number]
_Ids: TypeAlias = _SequenceLike[_Integer]
# What EnvrConfig.set and Model.set_optimizer_attr accept as a value.
_Value: TypeAlias = str | SupportsIndex | SupportsFloat
_ParameterValue: TypeAlias = SupportsIndex | SupportsFloat
# What optimize() returns: 0 no usable outcome, 1 optimal, 2 infeasible, 3 unbounded, 4 stopped with a solution.
_ResultCode: TypeAlias = Literal[0, 1, 2, 3, 4]

@final
class COPT:
    """COPT client configuration names exposed by COPT 8.0.6.

    A namespace of ``str`` constants: each attribute is the setting name that ``EnvrConfig.set`` passes to the solver
    library. ``COPT()`` raises ``TypeError`` "cannot create 'builtins.COPT' instances".
    """

    CLIENT_CAFILE: Final = "CaFile"
    """Certificate authority file for the connection to a compute cluster."""
    CLIENT_CERTFILE: Final = "CertFile"
    """Client certificate file."""
    CLIENT_CERTKEYFILE: Final = "CertKeyFile"
    """Private key file of the client certificate."""
    CLIENT_CLUSTER: Final = "Cluster"
    """Address of the compute cluster."""
    CLIENT_PASSWORD: Final = "PassWord"
    """Password for the compute cluster."""
    CLIENT_PORT: Final = "Port"
    """Port of the compute cluster."""
    CLIENT_PRIORITY: Final = "Priority"
    """Priority of this client."""
    CLIENT_WAITTIME: Final = "WaitTime"
    """Waiting time for the compute cluster."""

@final
class EnvrConfig:
    """Python wrapper for the solver's client configuration object.

    Loads the solver library (from ``dll_path``, else the default search: ``$COPT_HOME/bin``, then the default
    place) and creates one native client configuration, deleted when the object goes. Pass it to
    ``Env(config=...)`` or ``Model(config=...)`` to create environments from it; environments already created from it
    are not affected by its deletion. Usable only on the thread that created it.

    Args:
        dll_path: the library file, or a folder whose ``bin/copt.dll`` is used; None for the default search.

    Raises:
        TypeError: ``dll_path`` is not a ``str``.
        RuntimeError: the library is not found ("COPT native library was not found; checked ..."), cannot be loaded
            ("failed to load COPT library: ..."), or the solver fails to create the configuration ("COPT error in
            COPT_CreateEnvConfig: ..." or "Backend state error: COPT_CreateEnvConfig succeeded without returning a
            configuration").
    """

    def __new__(cls, dll_path: str | None = None) -> EnvrConfig: ...
    def set(self, name: str, value: _Value) -> None:
        """Set a client configuration value before creating an environment.

        Sends one setting to the solver at once.

        Args:
            name: any name is passed on; the ``COPT`` constants are the known ones.
            value: sent as text: a ``str`` unchanged, a ``bool`` as ``"1"`` or ``"0"``, an integer within signed 64
                bits in decimal, any other number in its shortest round-trip decimal form, never with an exponent
                (``2.0`` is ``"2"``, ``1e-7`` is ``"0.0000001"``).

        Raises:
            TypeError: "COPT environment configuration value must be str, bool, int, or float" for any other value
                (no note); with the note for a ``name`` that is not a ``str``.
            UnicodeEncodeError: a ``str`` that cannot be encoded as UTF-8, such as one with a lone surrogate (with the
                note for ``name``, without it for ``value``).
            RuntimeError: "Invalid input: COPT environment configuration name contains an embedded NUL byte" (or
                ``value`` in place of ``name``); "COPT error in COPT_SetEnvConfig: ..." when the solver refuses.
        """

@final
class Env:
    """Python owner for a reusable native COPT environment.

    One native environment that any number of models share through ``Model(env=...)``. Each model keeps the
    environment alive, so models may outlive their ``Env``. Usable only on the thread that created it.

    Args:
        dll_path: the library to load when ``config`` is not given (as for ``EnvrConfig``); None for the default
            search.
        config: the environment is created from this configuration, with the library it loaded (nothing is
            searched or loaded).

    Raises:
        TypeError: an argument of the wrong type.
        ValueError: "config cannot be provided together with dll_path".
        RuntimeError: library search and load failures (as for ``EnvrConfig``), and the solver failing to create the
            environment ("COPT error in COPT_CreateEnv: ...", "COPT error in COPT_CreateEnvWithConfig: ...", or
            "Backend state error: COPT_CreateEnv succeeded without returning an environment").
    """

    def __new__(cls, dll_path: str | None = None, config: EnvrConfig | None = None) -> Env: ...

@final
class Model:
    """Python adapter for the native COPT optimizer.

    One native problem, in the environment of ``env`` if given, else in a private environment created from ``config``
    if given, else in a private environment after loading the library from ``dll_path`` (or the default search).
    Usable only on the thread that created it.

    Args:
        name: checked for its type only.
        dll_path: the library to load (as for ``EnvrConfig``).
        env: the environment to share.
        config: the configuration to create a private environment from.

    Raises:
        TypeError: an argument of the wrong type.
        ValueError: "env cannot be provided together with dll_path or config" and "config cannot be provided
            together with dll_path".
        RuntimeError: library and environment failures (as for ``Env``) and problem-creation failures ("COPT error
            in COPT_CreateProb: ...", "Backend state error: COPT_CreateProb succeeded without returning a problem",
            "Backend state error: COPT environment lock is poisoned").
    """

    def __new__(
        cls,
        name: str | None = None,
        dll_path: str | None = None,
        env: Env | None = None,
        config: EnvrConfig | None = None,
    ) -> Model: ...
    def add_variable(
        self, name: str | None = None, vtype: str | None = None, lb: _Number | None = None, ub: _Number | None = None
    ) -> int:
        """Add one variable and return its id (0, 1, 2, ... in order of addition).

        Ids are never reused.

        Args:
            name: default ``"x{id}"``.
            vtype: one character: ``"C"`` continuous (default), ``"B"`` zero-one or ``"I"`` integer.
            lb: default 0.
            ub: default infinity. Bounds beyond ±1e30 are clamped to the solver's infinity.

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            RuntimeError: "Invalid input: unsupported COPT variable type '{c}'; expected 'C', 'B', or 'I'",
                "Invalid input: lower bounds cannot contain NaN, got NaN" (and upper), "Invalid input: variable {id}
                has lower bound {lb} greater than upper bound {ub}", "Invalid name: variable name contains an
                embedded NUL byte", "COPT error in COPT_AddCols: ...".
        """

    def add_variables(
        self,
        n: _Integer,
        names: Sequence[str] | None = None,
        vtypes: Sequence[str] | None = None,
        lbs: _Numbers | None = None,
        ubs: _Numbers | None = None,
    ) -> list[int]:
        """Add n variables in one native call and return their ids in increasing order.

        ``[]`` for ``n == 0``. Each list, when given, holds one entry per new variable; the defaults are those of
        ``add_variable``.

        Args:
            n: how many variables.
            names: one name per variable.
            vtypes: one character per variable.
            lbs: one lower bound per variable.
            ubs: one upper bound per variable.

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            RuntimeError: as for ``add_variable``, plus "Invalid input: {list} has length {k}, expected {n}" with
                list one of lower bounds, upper bounds, variable types, variable names, and "Invalid input: variable
                count exceeds COPT's c_int range" for ``n`` above 2147483647.
        """

    def add_constraint(
        self,
        vars: _Ids,
        coeffs: _Numbers,
        constant: _Number,
        sense: str,
        rhs: _Number,
        name: str | None = None,
    ) -> int:
        """Add the constraint sum(coeffs[i] * x[vars[i]]) + constant <sense> rhs and return its id.

        Args:
            vars: variable ids; repeats allowed.
            coeffs: as long as ``vars``.
            constant: added to the terms.
            sense: one character: ``"<"`` (at most), ``"="`` (equal) or ``">"`` (at least).
            rhs: the right-hand side; an infinite one is allowed and means no limit.
            name: default ``"c{id}"``.

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            ValueError: "coefficients has length {k}, expected {n}" and "invalid sense character: {c}" (no note).
            RuntimeError: "Invalid variable index: {id}", "Invalid input: constraint constant must be finite, got
                {value}" and "Invalid input: constraint coefficient must be finite, got {value}", "Invalid input:
                constraint {id} produces a NaN bound" for a NaN right-hand side of ``"<"`` or ``">"`` and "Invalid
                input: constraint {id} has invalid bounds [NaN, NaN]" for one of ``"="``, "Invalid name: constraint
                name contains an embedded NUL byte", "COPT error in COPT_AddRows: ...".
        """

    def add_constraints(
        self,
        fs_vars: _SequenceLike[_Ids],
        fs_coeffs: _SequenceLike[_Numbers],
        fs_consts: _Numbers,
        senses: Sequence[str],
        rhss: _Numbers,
        names: Sequence[str] | None = None,
    ) -> list[int]:
        """Add one constraint per row in one native call and return their ids in input order.

        Row i reads sum(fs_coeffs[i][k] * x[fs_vars[i][k]]) + fs_consts[i] <senses[i]> rhss[i]. ``[]`` for no rows.

        Args:
            fs_vars: one sequence of variable ids per row (a 2-D NumPy array of integers is read whole).
            fs_coeffs: one sequence of numbers per row, each as long as its row of ``fs_vars``.
            fs_consts: one constant per row.
            senses: one character per row (a list such as ``["<", ">"]``, not the string ``"<>"``).
            rhss: one right-hand side per row.
            names: one name per row.

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            ValueError: "{list} has length {k}, expected {rows}" for constraint coefficient rows, constraint
                constants, constraint senses, constraint right-hand sides, constraint names (checked in that order),
                then "constraint coefficients has length {k}, expected {n}" for the first row whose two lists differ,
                then "invalid sense character: {c}".
            RuntimeError: as for ``add_constraint``.
        """

    def set_objective(self, vars: _Ids, coeffs: _Numbers, constant: _Number, sense: _Integer) -> None:
        """Replace the whole objective by sum(coeffs[i] * x[vars[i]]) + constant.

        Repeated variables are summed. The solver takes the objective in three calls, none undone when a later one
        fails. What a failure leaves:

        .. list-table::
           :header-rows: 1

           * - failure
             - the solver's objective
             - the results of the last solve
           * - any refused argument or value (everything before ``COPT_SetColObj``)
             - unchanged
             - kept
           * - ``COPT_SetColObj``
             - as the failed call left it; constant and sense not sent
             - kept
           * - ``COPT_SetObjConst``
             - the new coefficients, the old constant and sense
             - cleared (kept on a model without variables, where no coefficient was sent)
           * - ``COPT_SetObjSense``
             - the new coefficients and constant, the old sense
             - cleared

        Args:
            vars: variable ids.
            coeffs: as long as ``vars``.
            constant: added to the terms.
            sense: within signed 32 bits: 1 maximizes, any other value minimizes.

        Raises:
            TypeError, OverflowError: an argument cannot be converted (the note names it; ``OverflowError`` for a
                sense beyond 32 bits).
            ValueError: "objective coefficients has length {k}, expected {n}".
            RuntimeError: "Invalid variable index: {id}", "Invalid input: objective coefficient must be finite, got
                {value}" (or objective constant), "COPT error in COPT_SetColObj: ..." (or in ``COPT_SetObjConst``,
                ``COPT_SetObjSense``).
        """

    def update(self) -> None:
        """Apply pending changes in the solver.

        Keeps the results of the last solve.

        Raises:
            RuntimeError: "COPT error in COPT_Update: ...".
        """

    def optimize(self) -> _ResultCode:
        """Solve the model and return the result code.

        0 no usable outcome, 1 optimal, 2 infeasible, 3 unbounded, 4 stopped early with a solution. When the solver
        has a solution (codes 1 and 4, and 0 after some stops), its values and objective value are kept for
        ``get_var_value`` and ``get_objective_value`` until the next edit or solve.

        Ctrl-C during the solve is delivered only when the solve ends: the call holds the interpreter lock
        throughout, so the interpreter raises ``KeyboardInterrupt`` as soon as ``optimize()`` returns. The returned
        code is lost to the interrupt, but the results are kept: read them with ``get_objective_value()`` and
        ``get_var_value()`` after catching it. To bound how long a solve can take, set ``"TimeLimit"``; a solve
        stopped by it returns 4 (with a solution) or 0.

        Raises:
            RuntimeError: "COPT error in COPT_Solve: ..." (or in ``COPT_GetIntAttr(Status)``,
                ``COPT_GetIntAttr(HasSol)``, ``COPT_GetIntAttr(IsMIP)``, ``COPT_GetSolution``,
                ``COPT_GetLpSolution``, ``COPT_GetDblAttr(ObjVal)``); the results are then absent.
        """

    def get_var_value(self, var_id: _Integer) -> float | None:
        """The variable's value in the last solution, or None without one or for an id beyond it.

        Raises:
            TypeError: ``var_id`` is not an integer.
            OverflowError: ``var_id`` is negative or not below 2**64.
        """

    def get_objective_value(self) -> float | None:
        """The objective value of the last solution, or None without one.

        The objective's constant is included. Never raises.
        """

    # "Silent" takes a bool and "TimeLimit" a float, and the solver refuses anything else for them. A name that is
    # a str matches the last overload too, so the refused pairs get overloads of their own, marked deprecated: the
    # one way a stub can make a type checker report a call (pyright in strict mode; mypy with
    # --enable-error-code deprecated).
    @overload
    def set_optimizer_attr(self, attr: Literal["Silent"], value: bool | _BoolScalar) -> None: ...
    @overload
    @deprecated("refused at run time: Silent takes a bool, TimeLimit a float")
    def set_optimizer_attr(self, attr: Literal["Silent", "TimeLimit"], value: SupportsIndex) -> None: ...
    @overload
    @deprecated("refused at run time: Silent takes a bool")
    def set_optimizer_attr(self, attr: Literal["Silent"], value: SupportsFloat) -> None: ...
    @overload
    def set_optimizer_attr(self, attr: str, value: _ParameterValue) -> None:
        """Set an optimizer attribute or a raw solver parameter by name.

        ``"Silent"`` takes a ``bool`` (True turns the solver's log off); ``"TimeLimit"`` takes a ``float`` number of
        seconds, finite and at least 0; any other name is a raw solver parameter: a ``bool`` or an integer sets an
        integer parameter (within signed 32 bits), any other number a floating-point one (finite). Names are compared
        exactly: ``"silent"`` is a raw parameter.

        Raises:
            TypeError: with the note for an ``attr`` that is not a ``str``; "COPT parameter value must be bool, int,
                or float" (no note).
            RuntimeError: "Invalid input: Silent requires a boolean value", "Invalid input: TimeLimit requires a
                floating-point value", "Invalid input: TimeLimit must be finite and nonnegative", "Invalid input: raw
                COPT parameter name contains an embedded NUL byte", "Invalid input: raw COPT integer parameter
                exceeds c_int range", "Invalid input: raw COPT floating-point parameter must be finite, got {value}",
                and "COPT error in COPT_SetIntParam(...)" / "COPT_SetDblParam(...)" when the solver refuses (the
                parentheses hold Logging, TimeLimit or Raw).
        """
