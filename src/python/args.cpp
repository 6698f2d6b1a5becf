// args.cpp: binding of positional and keyword arguments to a parameter table, with the binding TypeErrors.
#include "python/args.hpp"

#include <cstddef>
#include <string>
#include <vector>

#include "python/errors.hpp"

namespace brenlox_copt::python {
namespace {

std::size_t required_count(const BindingRule& rule) noexcept {
  std::size_t count = 0;
  for (const Parameter& parameter : rule.parameters) {
    count += parameter.required ? 1 : 0;
  }
  return count;
}

void raise_too_many_positional(const BindingRule& rule, Py_ssize_t given) noexcept {
  const std::size_t count = rule.parameters.size();
  const std::size_t required = required_count(rule);
  const char* verb = given == 1 ? "was" : "were";
  if (required == count) {
    raise_formatted(PyExc_TypeError, "%s takes %zu positional arguments but %zd %s given", rule.full_name, count,
                    given, verb);
  } else {
    raise_formatted(PyExc_TypeError, "%s takes from %zu to %zu positional arguments but %zd %s given", rule.full_name,
                    required, count, given, verb);
  }
}

/// The index of the parameter called `name`, or the parameter count when there is none.
std::size_t find_parameter(const BindingRule& rule, PyObject* name) noexcept {
  std::size_t index = 0;
  while (index < rule.parameters.size() && PyUnicode_CompareWithASCIIString(name, rule.parameters[index].name) != 0) {
    ++index;
  }
  return index;
}

/// Binds one keyword argument; false with the binding TypeError raised for a name that is no parameter or whose
/// parameter is filled already.
bool bind_keyword(const BindingRule& rule, PyObject* name, PyObject* value, std::span<Ref> slots) noexcept {
  const std::size_t index = find_parameter(rule, name);
  if (index == rule.parameters.size()) {
    raise_formatted(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", rule.full_name, name);
    return false;
  }
  if (slots[index]) {
    raise_formatted(PyExc_TypeError, "%s got multiple values for argument '%s'", rule.full_name,
                    rule.parameters[index].name);
    return false;
  }
  slots[index] = Ref::new_reference(value);
  return true;
}

bool bind_keyword_dict(const BindingRule& rule, PyObject* kwargs, std::span<Ref> slots) noexcept {
  Py_ssize_t position = 0;
  PyObject* name = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(kwargs, &position, &name, &value) != 0) {
    if (!PyUnicode_Check(name)) {
      raise_formatted(PyExc_TypeError, "%s keywords must be strings", rule.full_name);
      return false;
    }
    if (!bind_keyword(rule, name, value, slots)) {
      return false;
    }
  }
  return true;
}

/// Too many positional arguments refused; true when `given` fit.
bool fits(const BindingRule& rule, Py_ssize_t given) noexcept {
  if (static_cast<std::size_t>(given) <= rule.parameters.size()) {
    return true;
  }
  raise_too_many_positional(rule, given);
  return false;
}

/// 'a'; 'a' and 'b'; 'a', 'b', and 'c'.
std::string quoted_list(const std::vector<const char*>& names) {
  std::string list;
  for (std::size_t index = 0; index < names.size(); ++index) {
    if (index > 0) {
      list += names.size() == 2 ? " and " : (index + 1 == names.size() ? ", and " : ", ");
    }
    list += '\'';
    list += names[index];
    list += '\'';
  }
  return list;
}

bool require_given(const BindingRule& rule, std::span<const Ref> slots) {
  std::vector<const char*> missing;
  for (std::size_t index = 0; index < rule.parameters.size(); ++index) {
    if (rule.parameters[index].required && !slots[index]) {
      missing.push_back(rule.parameters[index].name);
    }
  }
  if (missing.empty()) {
    return true;
  }
  raise_formatted(PyExc_TypeError, "%s missing %zu required positional %s: %s", rule.full_name, missing.size(),
                  missing.size() == 1 ? "argument" : "arguments", quoted_list(missing).c_str());
  return false;
}

}  // namespace

// The slots hold strong references: a dict passed with ** reaches us unchanged, so conversion code could empty it.
bool bind_arguments(const BindingRule& rule, PyObject* args, PyObject* kwargs, std::span<Ref> slots) {
  const Py_ssize_t given = PyTuple_Size(args);
  if (given < 0 || !fits(rule, given)) {
    return false;
  }
  for (Py_ssize_t index = 0; index < given; ++index) {
    slots[static_cast<std::size_t>(index)] = Ref::new_reference(PyTuple_GetItem(args, index));
  }
  if (kwargs != nullptr && !bind_keyword_dict(rule, kwargs, slots)) {
    return false;
  }
  return require_given(rule, slots);
}

// The interpreter has checked that every keyword name is a str, and the argument array outlives the call; the slots
// hold strong references all the same, so that every bound argument is owned alike.
bool bind_arguments(const BindingRule& rule, PyObject* const* args, Py_ssize_t given, PyObject* kwnames,
                    std::span<Ref> slots) {
  if (!fits(rule, given)) {
    return false;
  }
  for (Py_ssize_t index = 0; index < given; ++index) {
    slots[static_cast<std::size_t>(index)] = Ref::new_reference(args[index]);
  }
  const Py_ssize_t keywords = kwnames == nullptr ? 0 : PyTuple_Size(kwnames);
  for (Py_ssize_t keyword = 0; keyword < keywords; ++keyword) {
    if (!bind_keyword(rule, PyTuple_GetItem(kwnames, keyword), args[given + keyword], slots)) {
      return false;
    }
  }
  return require_given(rule, slots);
}

}  // namespace brenlox_copt::python
