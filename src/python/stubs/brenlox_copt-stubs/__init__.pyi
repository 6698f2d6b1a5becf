# Type information for the brenlox_copt extension module; shipped as a stub package in the same wheel.
"""Build linear and mixed-integer models and solve them with the COPT solver."""

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

    A namespace of constants: each attribute is the setting name that EnvrConfig.set passes to the solver library.
    The class cannot be instantiated.
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

    Loads the solver library (from dll_path, else the default search) and creates one native client configuration.
    Pass it to Env(config=...) or Model(config=...) to create environments from it. Usable only on the thread that
    created it.

    Raises:
        TypeError: dll_path is not a str.
        RuntimeError: the library was not found or could not be loaded, or the solver refused to create the
            configuration.
    """

    def __new__(cls, dll_path: str | None = None) -> EnvrConfig: ...
    def set(self, name: str, value: _Value) -> None:
        """Set a client configuration value before creating an environment.

        value is sent as text: a str unchanged, a bool as "1" or "0", an integer in decimal, any other number in its
        shortest round-trip decimal form without exponent. Any name is accepted; COPT lists the known ones.

        Raises:
            TypeError: name is not a str, or value is not str, bool, int or float.
            RuntimeError: name or value contains a NUL character, or the solver refused the setting.
        """

@final
class Env:
    """Python owner for a reusable native COPT environment.

    Several models built with Model(env=...) share this one native environment; each model may outlive the Env.
    Without config, loads the solver library (from dll_path, else the default search); with config, uses the
    library that the configuration loaded. Usable only on the thread that created it.

    Raises:
        TypeError: dll_path is not a str, or config is not an EnvrConfig.
        ValueError: both config and dll_path are given.
        RuntimeError: the library was not found or could not be loaded, or the solver refused to create the
            environment.
    """

    def __new__(cls, dll_path: str | None = None, config: EnvrConfig | None = None) -> Env: ...

@final
class Model:
    """Python adapter for the native COPT optimizer.

    One native problem, in the environment of env, or in a private environment made from config, or in a private
    environment after loading the solver library (from dll_path, else the default search). name is checked for its
    type only. Usable only on the thread that created it.

    Raises:
        TypeError: an argument has the wrong type.
        ValueError: env is given with dll_path or config, or config is given with dll_path.
        RuntimeError: the library was not found or could not be loaded, or the solver refused to create the
            environment or the problem.
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

        vtype is one character: "C" continuous (default), "B" zero-one or "I" integer. The bounds default to 0 and
        infinity; the name defaults to "x" followed by the id.

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            RuntimeError: the backend refused a value (bad type character, NaN bound, lower above upper, NUL in
                the name) or the solver failed.
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

        Each list, when given, holds one entry per new variable; the defaults are those of add_variable.

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            RuntimeError: a list has the wrong length, the backend refused a value, or the solver failed.
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

        sense is one character: "<" (at most), "=" (equal) or ">" (at least). The name defaults to "c" followed by
        the id.

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            ValueError: coeffs and vars differ in length, or sense is not one of the three characters.
            RuntimeError: an unknown variable id, a non-finite value, a NUL in the name, or a solver failure.
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

        Row i reads sum(fs_coeffs[i][k] * x[fs_vars[i][k]]) + fs_consts[i] <senses[i]> rhss[i].

        Raises:
            TypeError, ValueError, OverflowError: an argument cannot be converted (the note names it).
            ValueError: a list or a row has the wrong length, or a sense is not "<", "=" or ">".
            RuntimeError: an unknown variable id, a non-finite value, a NUL in a name, or a solver failure.
        """

    def set_objective(self, vars: _Ids, coeffs: _Numbers, constant: _Number, sense: _Integer) -> None:
        """Replace the whole objective by sum(coeffs[i] * x[vars[i]]) + constant.

        sense 1 maximizes, any other value minimizes. Repeated variables are summed.

        Raises:
            TypeError, OverflowError: an argument cannot be converted (the note names it).
            ValueError: coeffs and vars differ in length.
            RuntimeError: an unknown variable id, a non-finite value, or a solver failure.
        """

    def update(self) -> None:
        """Apply pending changes in the solver.

        Raises:
            RuntimeError: the solver failed.
        """

    def optimize(self) -> _ResultCode:
        """Solve the model and return the result code.

        0 no usable outcome, 1 optimal, 2 infeasible, 3 unbounded, 4 stopped early with a solution. When the solver
        has a solution, its values and objective value are kept for get_var_value and get_objective_value.

        Raises:
            RuntimeError: the solver failed; no results are kept.
        """

    def get_var_value(self, var_id: _Integer) -> float | None:
        """The variable's value in the last solution, or None without one or for an id beyond it.

        Raises:
            TypeError, OverflowError: var_id is not a non-negative integer below 2**64.
        """

    def get_objective_value(self) -> float | None:
        """The objective value of the last solution, or None without one."""

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

        "Silent" takes a bool (True turns the solver's log off); "TimeLimit" takes a float number of seconds; any
        other name is a raw solver parameter: a bool or an int sets an integer parameter, a float a floating-point
        one.

        Raises:
            TypeError: attr is not a str, or value is not bool, int or float.
            RuntimeError: the value does not suit the attribute, or the solver refused the parameter.
        """
