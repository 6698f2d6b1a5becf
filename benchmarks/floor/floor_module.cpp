// floor_module.cpp: the conversion floor, a benchmark-only module that reads Python lists into C++ vectors with the
// limited-API calls brenlox_copt uses for exact lists, holding them all as a binding does for its one native call,
// and does nothing else: the limit of any list-based binding. Its array floor copies NumPy arrays and makes what the
// module must make besides: the list of new ids and the generated names.
#include <Python.h>

#include "backend/batch_names.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

/// False with TypeError unless `object` is an exact list; the floor reads nothing else.
bool require_list(PyObject* object) noexcept {
  if (PyList_CheckExact(object)) {
    return true;
  }
  PyErr_SetString(PyExc_TypeError, "the conversion floor reads exact lists only");
  return false;
}

bool read_id(PyObject* item, std::vector<std::uint64_t>& out) {
  const unsigned long long value = PyLong_AsUnsignedLongLong(item);
  if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr) {
    return false;
  }
  out.push_back(value);
  return true;
}

bool read_number(PyObject* item, std::vector<double>& out) {
  const double value = PyFloat_AsDouble(item);
  if (value == -1.0 && PyErr_Occurred() != nullptr) {
    return false;
  }
  out.push_back(value);
  return true;
}

bool read_text(PyObject* item, std::vector<std::string_view>& out) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(item, &size);
  if (data == nullptr) {
    return false;
  }
  out.emplace_back(data, static_cast<std::size_t>(size));
  return true;
}

bool read_character(PyObject* item, std::vector<char32_t>& out) {
  if (PyUnicode_GetLength(item) != 1) {
    PyErr_SetString(PyExc_ValueError, "expected a string of length 1");
    return false;
  }
  const Py_UCS4 code_point = PyUnicode_ReadChar(item, 0);
  if (code_point == static_cast<Py_UCS4>(-1) && PyErr_Occurred() != nullptr) {
    return false;
  }
  out.push_back(static_cast<char32_t>(code_point));
  return true;
}

/// A flat list: one vector sized up front, one read per item. None (an absent argument) reads as nothing.
template <class T, bool (*kRead)(PyObject*, std::vector<T>&)>
bool read_flat(PyObject* list, std::vector<T>& values) {
  if (list == Py_None) {
    return true;
  }
  if (!require_list(list)) {
    return false;
  }
  const Py_ssize_t length = PyList_Size(list);
  values.reserve(static_cast<std::size_t>(length));
  for (Py_ssize_t index = 0; index < length; ++index) {
    if (!kRead(PyList_GetItem(list, index), values)) {
      return false;
    }
  }
  return true;
}

/// A list of lists: all values in one vector sized from the rows' summed lengths, plus the row offsets.
template <class T, bool (*kRead)(PyObject*, std::vector<T>&)>
bool read_rows(PyObject* rows, std::vector<T>& values, std::vector<std::size_t>& offsets) {
  if (!require_list(rows)) {
    return false;
  }
  const Py_ssize_t count = PyList_Size(rows);
  std::size_t total = 0;
  for (Py_ssize_t row = 0; row < count; ++row) {
    PyObject* items = PyList_GetItem(rows, row);
    if (!require_list(items)) {
      return false;
    }
    total += static_cast<std::size_t>(PyList_Size(items));
  }
  values.reserve(total);
  offsets.reserve(static_cast<std::size_t>(count) + 1);
  offsets.push_back(0);
  for (Py_ssize_t row = 0; row < count; ++row) {
    PyObject* items = PyList_GetItem(rows, row);
    const Py_ssize_t length = PyList_Size(items);
    for (Py_ssize_t index = 0; index < length; ++index) {
      if (!kRead(PyList_GetItem(items, index), values)) {
        return false;
      }
    }
    offsets.push_back(values.size());
  }
  return true;
}

/// variables(names, vtypes, lbs, ubs), each a list or None: all of them read and held together, as a binding holds
/// them for its one native call. Returns the number of values read.
PyObject* variables(PyObject* /*module*/, PyObject* args) noexcept {
  try {
    PyObject* names = nullptr;
    PyObject* types = nullptr;
    PyObject* lower = nullptr;
    PyObject* upper = nullptr;
    if (PyArg_ParseTuple(args, "OOOO", &names, &types, &lower, &upper) == 0) {
      return nullptr;
    }
    std::vector<std::string_view> name_values;
    std::vector<char32_t> type_values;
    std::vector<double> lower_values;
    std::vector<double> upper_values;
    if (!read_flat<std::string_view, read_text>(names, name_values) ||
        !read_flat<char32_t, read_character>(types, type_values) ||
        !read_flat<double, read_number>(lower, lower_values) || !read_flat<double, read_number>(upper, upper_values)) {
      return nullptr;
    }
    return PyLong_FromSize_t(name_values.size() + type_values.size() + lower_values.size() + upper_values.size());
  } catch (...) {
    return PyErr_NoMemory();
  }
}

/// constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss, names): likewise, names may be None.
PyObject* constraints(PyObject* /*module*/, PyObject* args) noexcept {
  try {
    PyObject* fs_vars = nullptr;
    PyObject* fs_coeffs = nullptr;
    PyObject* fs_consts = nullptr;
    PyObject* senses = nullptr;
    PyObject* rhss = nullptr;
    PyObject* names = nullptr;
    if (PyArg_ParseTuple(args, "OOOOOO", &fs_vars, &fs_coeffs, &fs_consts, &senses, &rhss, &names) == 0) {
      return nullptr;
    }
    std::vector<std::uint64_t> variables;
    std::vector<std::size_t> variable_offsets;
    std::vector<double> coefficients;
    std::vector<std::size_t> coefficient_offsets;
    std::vector<double> constants;
    std::vector<char32_t> sense_values;
    std::vector<double> right_hand_sides;
    std::vector<std::string_view> name_values;
    if (!read_rows<std::uint64_t, read_id>(fs_vars, variables, variable_offsets) ||
        !read_rows<double, read_number>(fs_coeffs, coefficients, coefficient_offsets) ||
        !read_flat<double, read_number>(fs_consts, constants) ||
        !read_flat<char32_t, read_character>(senses, sense_values) ||
        !read_flat<double, read_number>(rhss, right_hand_sides) ||
        !read_flat<std::string_view, read_text>(names, name_values)) {
      return nullptr;
    }
    return PyLong_FromSize_t(variables.size() + coefficients.size());
  } catch (...) {
    return PyErr_NoMemory();
  }
}

/// The last copy_buffer result, kept until the next call: a copy nobody can see would be optimised away.
std::unique_ptr<unsigned char[]> g_last_copy;

/// The memcpy baseline of the buffer fast path: copies a buffer's bytes into a new array.
PyObject* copy_buffer(PyObject* /*module*/, PyObject* object) noexcept {
  Py_buffer view;
  if (PyObject_GetBuffer(object, &view, PyBUF_C_CONTIGUOUS) != 0) {
    return nullptr;
  }
  const auto size = static_cast<std::size_t>(view.len);
  auto copy = std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[size]);
  if (copy) {
    std::memcpy(copy.get(), view.buf, size);
  }
  PyBuffer_Release(&view);
  if (!copy) {
    return PyErr_NoMemory();
  }
  g_last_copy = std::move(copy);
  return PyLong_FromSize_t(size);
}

/// Appends a C-contiguous buffer's items to `out`: int64 items widened to ids, float64 items copied.
template <class Value>
bool copy_items(PyObject* object, std::vector<Value>& out) {
  Py_buffer view;
  if (PyObject_GetBuffer(object, &view, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT) != 0) {
    return false;
  }
  const auto count = static_cast<std::size_t>(view.len / view.itemsize);
  const bool integers = std::string_view(view.format) == "l" || std::string_view(view.format) == "q";
  const bool readable = view.itemsize == 8 && integers == std::is_integral_v<Value>;
  if (readable) {
    out.resize(count);
    if constexpr (std::is_integral_v<Value>) {
      for (std::size_t index = 0; index < count; ++index) {
        std::int64_t item;
        std::memcpy(&item, static_cast<const char*>(view.buf) + index * 8, 8);
        out[index] = static_cast<Value>(item);
      }
    } else {
      std::memcpy(out.data(), view.buf, count * 8);
    }
  }
  PyBuffer_Release(&view);
  if (!readable) {
    PyErr_SetString(PyExc_TypeError, "the array floor reads int64 ids and float64 values only");
  }
  return readable;
}

/// array_floor(id_arrays, value_arrays, count, prefix): copies every array (ids widened to 64 bits), generates
/// "{prefix}{id}" for `count` ids as the module does, and returns the list of those ids.
PyObject* array_floor(PyObject* /*module*/, PyObject* args) noexcept {
  try {
    PyObject* id_arrays = nullptr;
    PyObject* value_arrays = nullptr;
    Py_ssize_t count = 0;
    int prefix = 0;
    if (PyArg_ParseTuple(args, "O!O!nC", &PyTuple_Type, &id_arrays, &PyTuple_Type, &value_arrays, &count,
                         &prefix) == 0) {
      return nullptr;
    }
    std::vector<std::vector<std::uint64_t>> ids(static_cast<std::size_t>(PyTuple_Size(id_arrays)));
    std::vector<std::vector<double>> values(static_cast<std::size_t>(PyTuple_Size(value_arrays)));
    for (std::size_t index = 0; index < ids.size(); ++index) {
      if (!copy_items(PyTuple_GetItem(id_arrays, static_cast<Py_ssize_t>(index)), ids[index])) {
        return nullptr;
      }
    }
    for (std::size_t index = 0; index < values.size(); ++index) {
      if (!copy_items(PyTuple_GetItem(value_arrays, static_cast<Py_ssize_t>(index)), values[index])) {
        return nullptr;
      }
    }
    const auto names = brenlox_copt::backend::BatchNames::of(std::nullopt, "name", static_cast<char>(prefix), 0,
                                                             static_cast<std::size_t>(count));
    if (!names) {
      return PyErr_NoMemory();
    }
    PyObject* list = PyList_New(count);
    for (Py_ssize_t index = 0; list != nullptr && index < count; ++index) {
      PyObject* id = PyLong_FromSsize_t(index);
      if (id == nullptr) {
        Py_CLEAR(list);
        break;
      }
      PyList_SetItem(list, index, id);
    }
    return list;
  } catch (...) {
    return PyErr_NoMemory();
  }
}

PyMethodDef floor_methods[] = {
    {"variables", variables, METH_VARARGS, "variables(names, vtypes, lbs, ubs): reads the lists (or None)."},
    {"constraints", constraints, METH_VARARGS,
     "constraints(fs_vars, fs_coeffs, fs_consts, senses, rhss, names): reads the lists (names may be None)."},
    {"array_floor", array_floor, METH_VARARGS,
     "array_floor(id_arrays, value_arrays, count, prefix): copies the arrays, makes the names and the id list."},
    {"copy_buffer", copy_buffer, METH_O, "Copies a C-contiguous buffer's bytes; returns the byte count."},
    {nullptr, nullptr, 0, nullptr},
};

PyModuleDef floor_module = {
    PyModuleDef_HEAD_INIT, "brenlox_bench_floor", "The conversion floor of the benchmarks.", 0, floor_methods,
    nullptr,               nullptr,                nullptr,                                  nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit_brenlox_bench_floor() { return PyModuleDef_Init(&floor_module); }
