// model_type.cpp: the Model class: its constructor, its ten methods and its type object.
#include "python/model_type.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "python/attribute_value.hpp"
#include "python/call.hpp"
#include "python/constraint_rows.hpp"
#include "python/env_types.hpp"
#include "python/model_values.hpp"

namespace brenlox_copt::python {
namespace {

using backend::BackendModel;

// Model(name=None, dll_path=None, env=None, config=None)
constexpr auto kModelNew = signature("Model.__new__()", param<Optional<Text>>("name"),
                                     param<Optional<Text>>("dll_path"), param<Optional<InstanceOf<EnvClass>>>("env"),
                                     param<Optional<InstanceOf<EnvrConfigClass>>>("config"));

PyObject* Model_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  // The name is checked for its type only; the solver never sees it.
  return call_constructor(
      type, args, kwargs, kModelNew,
      [type](std::optional<Utf8Text> /*name*/, std::optional<Utf8Text> dll_path,
             std::optional<SharedInstance<EnvClass>> env,
             std::optional<SharedInstance<EnvrConfigClass>> config) -> PyObject* {
        if (env && (dll_path || config)) {
          PyErr_SetString(PyExc_ValueError, "env cannot be provided together with dll_path or config");
          return nullptr;
        }
        backend::EnvironmentShare environment = env ? env->content() : new_environment(dll_path, config);
        if (!environment) {
          return nullptr;
        }
        auto model = BackendModel::create(std::move(environment));
        if (!model) {
          return raise_backend_error(std::move(model.error()));
        }
        // Should the object not be made, the model stays here and is destroyed in order as usual.
        return new_instance<ModelClass>(type, std::move(*model));
      });
}

// add_variable(name=None, vtype=None, lb=None, ub=None)
constexpr auto kAddVariable = signature("Model.add_variable()", param<Optional<Text>>("name"),
                                        param<Optional<Character>>("vtype"), param<Optional<Number>>("lb"),
                                        param<Optional<Number>>("ub"));

PyObject* Model_add_variable(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                             PyObject* kwnames) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kAddVariable,
      [](BackendModel& model, std::optional<Utf8Text> name, std::optional<char32_t> vtype, std::optional<double> lb,
         std::optional<double> ub) -> PyObject* {
        const std::optional<backend::TerminatedText> name_text = terminated(name);
        const backend::VariableColumns columns{one_entry(name_text), one_entry(vtype), one_entry(lb), one_entry(ub)};
        return commit_and_answer(model, model.prepare_variables(1, columns), first_id);
      });
}

// add_variables(n, names=None, vtypes=None, lbs=None, ubs=None)
constexpr auto kAddVariables =
    signature("Model.add_variables()", param<UnsignedInt>("n"), param<Optional<SequenceOf<Text>>>("names"),
              param<Optional<SequenceOf<Character>>>("vtypes"), param<Optional<SequenceOf<Number>>>("lbs"),
              param<Optional<SequenceOf<Number>>>("ubs"));

PyObject* Model_add_variables(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                              PyObject* kwnames) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kAddVariables,
      [](BackendModel& model, std::uint64_t n, std::optional<TextList> names,
         std::optional<std::vector<char32_t>> vtypes, std::optional<std::vector<double>> lbs,
         std::optional<std::vector<double>> ubs) -> PyObject* {
        const backend::VariableColumns columns{all_entries(names), all_entries(vtypes), all_entries(lbs),
                                               all_entries(ubs)};
        return commit_and_answer(model, model.prepare_variables(n, columns), id_list);
      });
}

// add_constraint(vars, coeffs, constant, sense, rhs, name=None)
constexpr auto kAddConstraint =
    signature("Model.add_constraint()", param<SequenceOf<UnsignedInt>>("vars"), param<SequenceOf<Number>>("coeffs"),
              param<Number>("constant"), param<Character>("sense"), param<Number>("rhs"),
              param<Optional<Text>>("name"));

PyObject* Model_add_constraint(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                               PyObject* kwnames) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kAddConstraint,
      [](BackendModel& model, std::vector<std::uint64_t> vars, std::vector<double> coeffs, double constant,
         char32_t sense, double rhs, std::optional<Utf8Text> name) -> PyObject* {
        if (!require_length("coefficients", coeffs.size(), vars.size())) {
          return nullptr;
        }
        const std::optional<backend::ConstraintSet> set = constraint_set(sense, rhs);
        if (!set) {
          return nullptr;
        }
        return commit_and_answer(
            model, model.prepare_constraint({vars, std::move(coeffs), constant}, *set, terminated(name)), first_id);
      });
}

// add_constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss, names=None)
constexpr auto kAddConstraints =
    signature("Model.add_constraints()", param<SequenceOf<SequenceOf<UnsignedInt>>>("fs_vars"),
              param<SequenceOf<SequenceOf<Number>>>("fs_coeffs"), param<SequenceOf<Number>>("fs_consts"),
              param<SequenceOf<Character>>("senses"), param<SequenceOf<Number>>("rhss"),
              param<Optional<SequenceOf<Text>>>("names"));

PyObject* Model_add_constraints(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                                PyObject* kwnames) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kAddConstraints,
      [](BackendModel& model, Rows<std::uint64_t> fs_vars, Rows<double> fs_coeffs, std::vector<double> fs_consts,
         std::vector<char32_t> senses, std::vector<double> rhss, std::optional<TextList> names) -> PyObject* {
        std::optional<ConstraintRows> rows =
            ConstraintRows::of(std::move(fs_vars), std::move(fs_coeffs), std::move(fs_consts), std::move(senses),
                               std::move(rhss), all_entries(names));
        if (!rows) {
          return nullptr;
        }
        auto prepared = model.prepare_constraints(std::move(*rows).batch());
        // The prepared batch owns what its commit reads but the names (which `names` holds), so the rest goes now.
        rows.reset();
        return commit_and_answer(model, std::move(prepared), id_list);
      });
}

// set_objective(vars, coeffs, constant, sense)
constexpr auto kSetObjective =
    signature("Model.set_objective()", param<SequenceOf<UnsignedInt>>("vars"), param<SequenceOf<Number>>("coeffs"),
              param<Number>("constant"), param<Int32>("sense"));

PyObject* Model_set_objective(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                              PyObject* kwnames) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kSetObjective,
      [](BackendModel& model, std::vector<std::uint64_t> vars, std::vector<double> coeffs, double constant,
         std::int32_t sense) -> PyObject* {
        if (!require_length("objective coefficients", coeffs.size(), vars.size())) {
          return nullptr;
        }
        // 1 maximizes; every other value minimizes.
        const auto objective_sense = sense == 1 ? backend::ObjectiveSense::Maximize : backend::ObjectiveSense::Minimize;
        if (auto set = model.set_objective({vars, coeffs, constant}, objective_sense); !set) {
          return raise_backend_error(std::move(set.error()));
        }
        Py_RETURN_NONE;
      });
}

// update()
PyObject* Model_update(PyObject* self, PyObject* /*unused*/) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(self, [](BackendModel& model) -> PyObject* {
    if (auto updated = model.update(); !updated) {
      return raise_backend_error(std::move(updated.error()));
    }
    Py_RETURN_NONE;
  });
}

// optimize()
PyObject* Model_optimize(PyObject* self, PyObject* /*unused*/) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(self, [](BackendModel& model) -> PyObject* {
    auto code = model.optimize();
    if (!code) {
      return raise_backend_error(std::move(code.error()));
    }
    return PyLong_FromUnsignedLong(*code);
  });
}

// get_var_value(var_id)
constexpr auto kGetVarValue = signature("Model.get_var_value()", param<UnsignedInt>("var_id"));

PyObject* Model_get_var_value(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                              PyObject* kwnames) noexcept {
  return call_method<ModelClass, BorrowKind::Shared>(
      self, defining_class, args, nargs, kwnames, kGetVarValue,
      [](const BackendModel& model, std::uint64_t var_id) -> PyObject* {
        return float_or_none(model.get_var_value(var_id));
      });
}

// get_objective_value()
PyObject* Model_get_objective_value(PyObject* self, PyObject* /*unused*/) noexcept {
  return call_method<ModelClass, BorrowKind::Shared>(
      self, [](const BackendModel& model) -> PyObject* { return float_or_none(model.get_objective_value()); });
}

// set_optimizer_attr(attr, value)
constexpr auto kSetOptimizerAttr =
    signature("Model.set_optimizer_attr()", param<Text>("attr"), param<AttributeValueArg>("value"));

PyObject* Model_set_optimizer_attr(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                                   PyObject* kwnames) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kSetOptimizerAttr,
      [](BackendModel& model, Utf8Text attr, AttributeValueArg::Value value) -> PyObject* {
        if (auto set = model.set_optimizer_attr(optimizer_attribute(attr), value); !set) {
          return raise_backend_error(std::move(set.error()));
        }
        Py_RETURN_NONE;
      });
}

PyMethodDef Model_methods[] = {
    keywords_method("add_variable", Model_add_variable,
                    "add_variable($self, name=None, vtype=None, lb=None, ub=None)\n--\n\n"),
    keywords_method("add_variables", Model_add_variables,
                    "add_variables($self, n, names=None, vtypes=None, lbs=None, ubs=None)\n--\n\n"),
    keywords_method("add_constraint", Model_add_constraint,
                    "add_constraint($self, vars, coeffs, constant, sense, rhs, name=None)\n--\n\n"),
    keywords_method("add_constraints", Model_add_constraints,
                    "add_constraints($self, fs_vars, fs_coeffs, fs_consts, senses, rhss, names=None)\n--\n\n"),
    keywords_method("set_objective", Model_set_objective,
                    "set_objective($self, vars, coeffs, constant, sense)\n--\n\n"),
    no_arguments_method("update", Model_update, "update($self)\n--\n\n"),
    no_arguments_method("optimize", Model_optimize, "optimize($self)\n--\n\n"),
    keywords_method("get_var_value", Model_get_var_value, "get_var_value($self, var_id)\n--\n\n"),
    no_arguments_method("get_objective_value", Model_get_objective_value, "get_objective_value($self)\n--\n\n"),
    keywords_method("set_optimizer_attr", Model_set_optimizer_attr,
                    "set_optimizer_attr($self, attr, value)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot Model_slots[] = {
    {Py_tp_doc, const_cast<char*>("Model(name=None, dll_path=None, env=None, config=None)\n--\n\n"
                                  "Python adapter for the native COPT optimizer.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(instance_dealloc<ModelClass>)},
    {Py_tp_new, reinterpret_cast<void*>(Model_new)},
    {Py_tp_methods, Model_methods},
    {0, nullptr},
};

// "builtins." is a compatibility text: the __module__ callers already know the class by, not where it lives.
PyType_Spec Model_spec = {"builtins.Model", sizeof(Instance<ModelClass>), 0, Py_TPFLAGS_DEFAULT, Model_slots};

}  // namespace

PyType_Spec& ModelClass::spec() noexcept { return Model_spec; }

}  // namespace brenlox_copt::python
