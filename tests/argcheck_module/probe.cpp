// probe.cpp: the test-only module brenlox_argcheck. Its class Probe is built exactly like the module's classes and
// has one method per conversion kind, each handing the converted value back, so that binding, thread binding,
// borrows and conversions can be tested without a solver.
#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "python/attribute_value.hpp"
#include "python/call.hpp"
#include "python/module_state.hpp"

namespace brenlox_copt::python {
namespace {

/// Any object, taken as it is (a new reference): the binding tests' kind that never refuses.
struct AnyObject {
  using Value = Ref;
  static bool convert(PyObject* object, Value& out) noexcept {
    out = Ref::new_reference(object);
    return true;
  }
};

// How many Probe contents have been released, so tests can see content leaked on a foreign thread.
std::uint64_t g_released = 0;

/// Counts its own release; moved-from values do not count.
class ProbeContent {
 public:
  ProbeContent() noexcept = default;
  ProbeContent(ProbeContent&& other) noexcept : m_live(std::exchange(other.m_live, false)) {}
  ProbeContent& operator=(ProbeContent&&) = delete;
  ~ProbeContent() {
    if (m_live) {
      ++g_released;
    }
  }

 private:
  bool m_live = true;
};

struct ProbeClass {
  using Content = ProbeContent;
  static constexpr const char* kName = "Probe";
  static constexpr const char* kTypePath = "brenlox_argcheck::Probe";
  static constexpr std::size_t kStateSlot = 0;
};

// Result builders.
PyObject* text_object(std::string_view text) noexcept {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}
PyObject* character_object(char32_t code_point) noexcept {
  return PyUnicode_FromOrdinal(static_cast<int>(code_point));
}
PyObject* value_object(std::uint64_t value) noexcept { return PyLong_FromUnsignedLongLong(value); }
PyObject* value_object(double value) noexcept { return PyFloat_FromDouble(value); }
PyObject* value_object(char32_t value) noexcept { return character_object(value); }

template <class Items, class Make>
PyObject* list_object(const Items& items, Make&& make) noexcept {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) {
    return nullptr;
  }
  Py_ssize_t index = 0;
  for (const auto& item : items) {
    PyObject* element = make(item);
    if (element == nullptr) {
      return nullptr;
    }
    PyList_SetItem(list.get(), index++, element);
  }
  return list.release();
}

template <class T>
PyObject* values_object(std::span<const T> values) noexcept {
  return list_object(values, [](T value) { return value_object(value); });
}

/// (list of row lists, list of offsets)
template <class T>
PyObject* rows_object(const Rows<T>& rows) noexcept {
  std::vector<std::span<const T>> spans;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    spans.push_back(rows[row]);
  }
  Ref lists = Ref::steal(list_object(spans, [](std::span<const T> row) { return values_object(row); }));
  std::vector<std::size_t> starts;
  for (std::size_t row = 0; row <= rows.size(); ++row) {
    starts.push_back(rows.starts()[row]);
  }
  Ref offsets = Ref::steal(values_object<std::size_t>(starts));
  if (!lists || !offsets) {
    return nullptr;
  }
  return PyTuple_Pack(2, lists.get(), offsets.get());
}

// Probe(peer=None): a shared borrow of another probe while constructing.
constexpr auto kProbeNew = signature("Probe.__new__()", param<Optional<InstanceOf<ProbeClass>>>("peer"));

PyObject* Probe_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  return call_constructor(type, args, kwargs, kProbeNew, [type](std::optional<SharedInstance<ProbeClass>>) {
    return new_instance<ProbeClass>(type, ProbeContent{});
  });
}

constexpr auto kBind = signature("Probe.bind()", param<AnyObject>("a"), param<AnyObject>("b"), param<AnyObject>("c"),
                                 param<Optional<AnyObject>>("d"), param<Optional<AnyObject>>("e"));

PyObject* Probe_bind(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                     PyObject* kwnames) noexcept {
  return call_method<ProbeClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kBind,
      [](ProbeContent&, Ref a, Ref b, Ref c, std::optional<Ref> d, std::optional<Ref> e) -> PyObject* {
        return PyTuple_Pack(5, a.get(), b.get(), c.get(), d ? d->get() : Py_None, e ? e->get() : Py_None);
      });
}

constexpr auto kPair = signature("Probe.pair()", param<Number>("first"), param<AnyObject>("second"));

PyObject* Probe_pair(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                     PyObject* kwnames) noexcept {
  return call_method<ProbeClass, BorrowKind::Shared>(
      self, defining_class, args, nargs, kwnames, kPair,
      [](const ProbeContent&, double first, Ref second) { return Py_BuildValue("(dO)", first, second.get()); });
}

constexpr auto kFailInBackend = signature("Probe.fail_in_backend()", param<Text>("message"));

PyObject* Probe_fail_in_backend(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                                PyObject* kwnames) noexcept {
  return call_method<ProbeClass, BorrowKind::Exclusive>(
      self, defining_class, args, nargs, kwnames, kFailInBackend, [](ProbeContent&, const Utf8Text& message) -> PyObject* {
        return raise_backend_error(backend::BackendError::invalid_input(std::string(message.view())));
      });
}

constexpr auto kNothing = signature("Probe.nothing()");

PyObject* Probe_nothing(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                        PyObject* kwnames) noexcept {
  return call_method<ProbeClass, BorrowKind::Exclusive>(self, defining_class, args, nargs, kwnames, kNothing,
                                                        [](ProbeContent&) { Py_RETURN_NONE; });
}

PyObject* Probe_touch(PyObject* self, PyObject*) noexcept {
  return call_method<ProbeClass, BorrowKind::Exclusive>(self, [](ProbeContent&) { Py_RETURN_NONE; });
}

PyObject* Probe_look(PyObject* self, PyObject*) noexcept {
  return call_method<ProbeClass, BorrowKind::Shared>(self, [](const ProbeContent&) { Py_RETURN_NONE; });
}

/// A method with the one parameter "value" of kSignature, answering with kMake(converted value).
template <BorrowKind kBorrow, const auto& kSignature, auto kMake>
PyObject* convert_method(PyObject* self, PyTypeObject* defining_class, PyObject* const* args, std::size_t nargs,
                         PyObject* kwnames) noexcept {
  return call_method<ProbeClass, kBorrow>(self, defining_class, args, nargs, kwnames, kSignature,
                                          [](const ProbeContent&, auto value) { return kMake(value); });
}

template <BorrowKind kBorrow, const auto& kSignature, auto kMake>
PyMethodDef convert_row(const char* name) noexcept {
  return keywords_method(name, convert_method<kBorrow, kSignature, kMake>, nullptr);
}

template <class Kind>
constexpr auto value_signature(const char* full_name) {
  return signature(full_name, param<Kind>("value"));
}

constexpr auto kUnsigned = value_signature<UnsignedInt>("Probe.unsigned()");
constexpr auto kInt32 = value_signature<Int32>("Probe.int32()");
constexpr auto kNumber = value_signature<Number>("Probe.number()");
constexpr auto kReadNumber = value_signature<Number>("Probe.read_number()");
constexpr auto kOptionalNumber = value_signature<Optional<Number>>("Probe.optional_number()");
constexpr auto kText = value_signature<Text>("Probe.text()");
constexpr auto kCharacter = value_signature<Character>("Probe.character()");
constexpr auto kUnsignedList = value_signature<SequenceOf<UnsignedInt>>("Probe.unsigned_list()");
constexpr auto kNumberList = value_signature<SequenceOf<Number>>("Probe.number_list()");
constexpr auto kCharacterList = value_signature<SequenceOf<Character>>("Probe.character_list()");
constexpr auto kTextList = value_signature<Optional<SequenceOf<Text>>>("Probe.text_list()");
constexpr auto kUnsignedRows = value_signature<SequenceOf<SequenceOf<UnsignedInt>>>("Probe.unsigned_rows()");
constexpr auto kNumberRows = value_signature<SequenceOf<SequenceOf<Number>>>("Probe.number_rows()");
constexpr auto kAttributeValue = value_signature<AttributeValueArg>("Probe.attribute_value()");
constexpr auto kPeer = value_signature<InstanceOf<ProbeClass>>("Probe.peer()");

constexpr auto make_unsigned = [](std::uint64_t value) { return value_object(value); };
constexpr auto make_int32 = [](std::int32_t value) { return PyLong_FromLong(value); };
constexpr auto make_number = [](double value) { return value_object(value); };
constexpr auto make_optional_number = [](std::optional<double> value) {
  return value ? value_object(*value) : Py_NewRef(Py_None);
};
// (text, whether a NUL follows the bytes)
constexpr auto make_text = [](const Utf8Text& value) {
  const Ref text = Ref::steal(text_object(value.view()));
  const bool terminated = value.terminated().c_str()[value.view().size()] == '\0';
  return text ? PyTuple_Pack(2, text.get(), terminated ? Py_True : Py_False) : nullptr;
};
constexpr auto make_character = [](char32_t value) { return character_object(value); };
constexpr auto make_unsigned_list = [](const std::vector<std::uint64_t>& values) {
  return values_object<std::uint64_t>(values);
};
constexpr auto make_number_list = [](const std::vector<double>& values) { return values_object<double>(values); };
constexpr auto make_character_list = [](const std::vector<char32_t>& values) {
  return values_object<char32_t>(values);
};
constexpr auto make_text_list = [](const std::optional<TextList>& values) -> PyObject* {
  if (!values) {
    Py_RETURN_NONE;
  }
  return list_object(values->views(), [](backend::TerminatedText text) { return text_object(text.view()); });
};
constexpr auto make_unsigned_rows = [](const Rows<std::uint64_t>& rows) { return rows_object(rows); };
constexpr auto make_number_rows = [](const Rows<double>& rows) { return rows_object(rows); };
// (kind name, value)
constexpr auto make_attribute_value = [](const AttributeValueArg::Value& value) {
  return std::visit(
      [](auto held) -> PyObject* {
        using Held = decltype(held);
        if constexpr (std::is_same_v<Held, bool>) {
          return Py_BuildValue("(sO)", "bool", held ? Py_True : Py_False);
        } else if constexpr (std::is_same_v<Held, std::int64_t>) {
          return Py_BuildValue("(sL)", "int", static_cast<long long>(held));
        } else {
          return Py_BuildValue("(sd)", "float", held);
        }
      },
      value);
};
constexpr auto make_none = [](const SharedInstance<ProbeClass>&) { return Py_NewRef(Py_None); };

PyMethodDef Probe_methods[] = {
    keywords_method("bind", Probe_bind, "bind($self, a, b, c, d=None, e=None)\n--\n\n"),
    keywords_method("pair", Probe_pair, "pair($self, first, second)\n--\n\n"),
    keywords_method("fail_in_backend", Probe_fail_in_backend, "fail_in_backend($self, message)\n--\n\n"),
    keywords_method("nothing", Probe_nothing, "nothing($self)\n--\n\n"),
    no_arguments_method("touch", Probe_touch, "touch($self)\n--\n\n"),
    no_arguments_method("look", Probe_look, "look($self)\n--\n\n"),
    convert_row<BorrowKind::Exclusive, kUnsigned, make_unsigned>("unsigned"),
    convert_row<BorrowKind::Exclusive, kInt32, make_int32>("int32"),
    convert_row<BorrowKind::Exclusive, kNumber, make_number>("number"),
    convert_row<BorrowKind::Shared, kReadNumber, make_number>("read_number"),
    convert_row<BorrowKind::Exclusive, kOptionalNumber, make_optional_number>("optional_number"),
    convert_row<BorrowKind::Exclusive, kText, make_text>("text"),
    convert_row<BorrowKind::Exclusive, kCharacter, make_character>("character"),
    convert_row<BorrowKind::Exclusive, kUnsignedList, make_unsigned_list>("unsigned_list"),
    convert_row<BorrowKind::Exclusive, kNumberList, make_number_list>("number_list"),
    convert_row<BorrowKind::Exclusive, kCharacterList, make_character_list>("character_list"),
    convert_row<BorrowKind::Exclusive, kTextList, make_text_list>("text_list"),
    convert_row<BorrowKind::Exclusive, kUnsignedRows, make_unsigned_rows>("unsigned_rows"),
    convert_row<BorrowKind::Exclusive, kNumberRows, make_number_rows>("number_rows"),
    convert_row<BorrowKind::Exclusive, kAttributeValue, make_attribute_value>("attribute_value"),
    convert_row<BorrowKind::Shared, kPeer, make_none>("peer"),
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot Probe_slots[] = {
    {Py_tp_doc, const_cast<char*>("Probe(peer=None)\n--\n\nRuns the argument machinery for tests.")},
    {Py_tp_dealloc, reinterpret_cast<void*>(instance_dealloc<ProbeClass>)},
    {Py_tp_new, reinterpret_cast<void*>(Probe_new)},
    {Py_tp_methods, Probe_methods},
    {0, nullptr},
};

PyType_Spec Probe_spec = {"brenlox_argcheck.Probe", sizeof(Instance<ProbeClass>), 0, Py_TPFLAGS_DEFAULT,
                          Probe_slots};

PyObject* released(PyObject*, PyObject*) noexcept { return PyLong_FromUnsignedLongLong(g_released); }

PyMethodDef module_functions[] = {
    no_arguments_method("released", released, "How many probe contents have been released."),
    {nullptr, nullptr, 0, nullptr},
};

int module_exec(PyObject* module) noexcept {
  ModuleState& state = *module_state(module);
  state.classes[ProbeClass::kStateSlot] = type_from_module(module, Probe_spec);
  if (state.classes[ProbeClass::kStateSlot] == nullptr) {
    return -1;
  }
  state.panic = new_panic_exception_type();
  if (state.panic == nullptr) {
    return -1;
  }
  return PyModule_AddObjectRef(module, "Probe", state.classes[ProbeClass::kStateSlot]);
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "brenlox_argcheck", "", sizeof(ModuleState), module_functions, module_slots,
    traverse_module_state, clear_module_state, free_module_state,
};

}  // namespace
}  // namespace brenlox_copt::python

PyMODINIT_FUNC PyInit_brenlox_argcheck() { return PyModuleDef_Init(&brenlox_copt::python::module_definition); }
