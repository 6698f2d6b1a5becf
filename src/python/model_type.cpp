// model_type.cpp: the Model class: its constructor, its ten methods and its type object.
#include "python/model_type.hpp"

#include <cstdint>
#include <optional>
#include <vector>

#include "python/attribute_value.hpp"
#include "python/call.hpp"
#include "python/env_types.hpp"
#include "python/pending.hpp"
#include "python/type_cache.hpp"

namespace brenlox_copt::python {
namespace {

// Model(name=None, dll_path=None, env=None, config=None)
constexpr auto kModelNew = signature("Model.__new__()", param<Optional<Text>>("name"),
                                     param<Optional<Text>>("dll_path"), param<Optional<InstanceOf<EnvClass>>>("env"),
                                     param<Optional<InstanceOf<EnvrConfigClass>>>("config"));

PyObject* Model_new(PyTypeObject* /*type*/, PyObject* args, PyObject* kwargs) noexcept {
  return call_constructor(
      args, kwargs, kModelNew,
      [](std::optional<Utf8Text> /*name*/, std::optional<Utf8Text> /*dll_path*/,
         std::optional<SharedInstance<EnvClass>> /*env*/,
         std::optional<SharedInstance<EnvrConfigClass>> /*config*/) -> PyObject* {
        return raise_library_unavailable();
      });
}

// add_variable(name=None, vtype=None, lb=None, ub=None)
constexpr auto kAddVariable = signature("Model.add_variable()", param<Optional<Text>>("name"),
                                        param<Optional<Character>>("vtype"), param<Optional<Number>>("lb"),
                                        param<Optional<Number>>("ub"));

PyObject* Model_add_variable(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, args, kwargs, kAddVariable,
      [](ModelContent& /*model*/, std::optional<Utf8Text> /*name*/, std::optional<char32_t> /*vtype*/,
         std::optional<double> /*lb*/, std::optional<double> /*ub*/) -> PyObject* {
        return raise_library_unavailable();
      });
}

// add_variables(n, names=None, vtypes=None, lbs=None, ubs=None)
constexpr auto kAddVariables =
    signature("Model.add_variables()", param<UnsignedInt>("n"), param<Optional<SequenceOf<Text>>>("names"),
              param<Optional<SequenceOf<Character>>>("vtypes"), param<Optional<SequenceOf<Number>>>("lbs"),
              param<Optional<SequenceOf<Number>>>("ubs"));

PyObject* Model_add_variables(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, args, kwargs, kAddVariables,
      [](ModelContent& /*model*/, std::uint64_t /*n*/, std::optional<TextList> /*names*/,
         std::optional<std::vector<char32_t>> /*vtypes*/, std::optional<std::vector<double>> /*lbs*/,
         std::optional<std::vector<double>> /*ubs*/) -> PyObject* { return raise_library_unavailable(); });
}

// add_constraint(vars, coeffs, constant, sense, rhs, name=None)
constexpr auto kAddConstraint =
    signature("Model.add_constraint()", param<SequenceOf<UnsignedInt>>("vars"), param<SequenceOf<Number>>("coeffs"),
              param<Number>("constant"), param<Character>("sense"), param<Number>("rhs"),
              param<Optional<Text>>("name"));

PyObject* Model_add_constraint(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, args, kwargs, kAddConstraint,
      [](ModelContent& /*model*/, std::vector<std::uint64_t> /*vars*/, std::vector<double> /*coeffs*/,
         double /*constant*/, char32_t /*sense*/, double /*rhs*/, std::optional<Utf8Text> /*name*/) -> PyObject* {
        return raise_library_unavailable();
      });
}

// add_constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss, names=None)
constexpr auto kAddConstraints =
    signature("Model.add_constraints()", param<SequenceOf<SequenceOf<UnsignedInt>>>("fs_vars"),
              param<SequenceOf<SequenceOf<Number>>>("fs_coeffs"), param<SequenceOf<Number>>("fs_consts"),
              param<SequenceOf<Character>>("senses"), param<SequenceOf<Number>>("rhss"),
              param<Optional<SequenceOf<Text>>>("names"));

PyObject* Model_add_constraints(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, args, kwargs, kAddConstraints,
      [](ModelContent& /*model*/, Rows<std::uint64_t> /*fs_vars*/, Rows<double> /*fs_coeffs*/,
         std::vector<double> /*fs_consts*/, std::vector<char32_t> /*senses*/, std::vector<double> /*rhss*/,
         std::optional<TextList> /*names*/) -> PyObject* { return raise_library_unavailable(); });
}

// set_objective(vars, coeffs, constant, sense)
constexpr auto kSetObjective =
    signature("Model.set_objective()", param<SequenceOf<UnsignedInt>>("vars"), param<SequenceOf<Number>>("coeffs"),
              param<Number>("constant"), param<Int32>("sense"));

PyObject* Model_set_objective(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, args, kwargs, kSetObjective,
      [](ModelContent& /*model*/, std::vector<std::uint64_t> /*vars*/, std::vector<double> /*coeffs*/,
         double /*constant*/, std::int32_t /*sense*/) -> PyObject* { return raise_library_unavailable(); });
}

// update()
PyObject* Model_update(PyObject* self, PyObject* /*unused*/) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, [](ModelContent& /*model*/) -> PyObject* { return raise_library_unavailable(); });
}

// optimize()
PyObject* Model_optimize(PyObject* self, PyObject* /*unused*/) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, [](ModelContent& /*model*/) -> PyObject* { return raise_library_unavailable(); });
}

// get_var_value(var_id)
constexpr auto kGetVarValue = signature("Model.get_var_value()", param<UnsignedInt>("var_id"));

PyObject* Model_get_var_value(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<ModelClass, BorrowKind::Shared>(
      self, args, kwargs, kGetVarValue,
      [](const ModelContent& /*model*/, std::uint64_t /*var_id*/) -> PyObject* { return raise_library_unavailable(); });
}

// get_objective_value()
PyObject* Model_get_objective_value(PyObject* self, PyObject* /*unused*/) noexcept {
  return call_method<ModelClass, BorrowKind::Shared>(
      self, [](const ModelContent& /*model*/) -> PyObject* { return raise_library_unavailable(); });
}

// set_optimizer_attr(attr, value)
constexpr auto kSetOptimizerAttr =
    signature("Model.set_optimizer_attr()", param<Text>("attr"), param<AttributeValueArg>("value"));

PyObject* Model_set_optimizer_attr(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return call_method<ModelClass, BorrowKind::Exclusive>(
      self, args, kwargs, kSetOptimizerAttr,
      [](ModelContent& /*model*/, Utf8Text /*attr*/, AttributeValueArg::Value /*value*/) -> PyObject* {
        return raise_library_unavailable();
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

PyType_Spec Model_spec = {"builtins.Model", sizeof(Instance<ModelClass>), 0, Py_TPFLAGS_DEFAULT, Model_slots};

// Created once and kept for the process (see cached_type).
PyObject* g_model_type = nullptr;

}  // namespace

PyTypeObject* ModelClass::type() noexcept { return cached_type(g_model_type, Model_spec); }

}  // namespace brenlox_copt::python
