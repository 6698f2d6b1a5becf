"""Fresh and solved Models on the stand-in, for the suites of the solve, attribute and result methods."""

import brenlox_copt

from support import standin


def fresh_model(variables=0, silent=True):
    """A new Model with `variables` continuous variables, Silent set unless `silent` is None. Earlier tests' garbage
    holding native objects is collected first: a caught exception and its frames refer to each other and would keep
    an earlier model, and its native problem, alive."""
    standin.collect_native_garbage()
    model = brenlox_copt.Model()
    if silent is not None:
        model.set_optimizer_attr("Silent", silent)
    model.add_variables(variables)
    return model


def solved_model(standin, solution, objective):
    """A model with one variable per value in `solution`, whose last solve left `solution` and `objective` as its
    results. The stand-in's log starts afresh after it."""
    model = fresh_model(len(solution))
    standin.force_result(status=1, has_sol=1, solution=solution, obj_val=objective)
    assert model.optimize() == 1
    standin.reset()
    return model
