// vorla._core: the engine's four entry points for Python, through the Python host (host.cpp).
// Each call views its NumPy inputs where they lie when the engine can read them (column
// order, native byte order, a class it reads), copies them into column order where not,
// runs the entry point with the GIL released, and hands the outputs back as NumPy arrays
// that own the engine's blocks.
#include "call.h"

#include "args.h"
#include "vorla_eval.h"
#include "vorla_fit.h"
#include "vorla_learn.h"
#include "vorla_score.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace py = pybind11;

namespace vorla::python {
namespace {

using EntryPoint = void (*)(int, mxArray*[], int, const mxArray*[]);

// With the GIL held: writes the printed text to sys.stdout and serves Python's signal
// handlers. False when a handler raised (the exception is kept for the end of the call).
bool serve_python(Call& call) {
  py::gil_scoped_acquire gil;
  if (!call.text.empty()) {
    PyObject* out = PySys_GetObject("stdout");  // borrowed
    if (out && out != Py_None) {
      PyObject* written = PyObject_CallMethod(out, "write", "s#", call.text.data(),
                                              static_cast<Py_ssize_t>(call.text.size()));
      Py_XDECREF(written);
      // A stream that fails here is tried again, and its error raised, when the call ends.
      if (written) call.text.clear();
      else PyErr_Clear();
    }
  }
  if (PyErr_CheckSignals() == 0) return true;
  PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  call.exception_type = type;
  call.exception_value = value;
  call.exception_traceback = traceback;
  return false;
}

struct ClassOf {
  mxClassID id;
  bool readable;
};

ClassOf class_of(const py::dtype& dtype) {
  const char kind = dtype.kind();
  const auto size = dtype.itemsize();
  if (kind == 'f' && size == 8) return {mxDOUBLE_CLASS, true};
  if (kind == 'f' && size == 4) return {mxSINGLE_CLASS, true};
  if (kind == 'b') return {mxLOGICAL_CLASS, true};
  if (kind == 'i' || kind == 'u') {
    const bool u = kind == 'u';
    switch (size) {
      case 1: return {u ? mxUINT8_CLASS : mxINT8_CLASS, true};
      case 2: return {u ? mxUINT16_CLASS : mxINT16_CLASS, true};
      case 4: return {u ? mxUINT32_CLASS : mxINT32_CLASS, true};
      case 8: return {u ? mxUINT64_CLASS : mxINT64_CLASS, true};
      default: break;
    }
  }
  return {mxUNKNOWN_CLASS, false};
}

// One input: the NumPy array the engine reads (the caller's own, or a column-order copy)
// and the host array that views it.
struct Input {
  std::vector<py::array> arrays;  // a cell's: one per element
  mxArray* host = nullptr;
};

Input make_input(const py::handle& given, int position, const std::string& name, const char* function) {
  if (py::hasattr(given, "_vorla_cell")) {
    // A cell: a row of elements, each read as an input of its own.
    const py::sequence elements = py::reinterpret_borrow<py::sequence>(given);
    Input input;
    input.host = view_array(mxCELL_CLASS, {1, static_cast<mwSize>(elements.size())}, nullptr);
    input.host->cells.assign(elements.size(), nullptr);
    for (std::size_t k = 0; k < elements.size(); ++k) {
      Input element;
      try {
        element = make_input(elements[k], position, name, function);
      } catch (...) {
        release_array(input.host);
        throw;
      }
      input.host->cells[k] = element.host;
      input.arrays.insert(input.arrays.end(), element.arrays.begin(), element.arrays.end());
    }
    return input;
  }
  py::object numpy = py::module_::import("numpy");
  py::array array = py::array::ensure(given);
  if (!array) array = numpy.attr("asarray")(given);
  const ClassOf found = class_of(array.dtype());
  if (!found.readable) {
    MessageBuffer m(function);
    m.fail("%s: %s input argument (%s) must be a real numeric or boolean array, not %s.", ordinal(position),
           name.c_str(), std::string(py::str(array.dtype())).c_str());
    throw py::type_error(m.text());
  }
  // Column order, native byte order and aligned: the engine reads it where it lies.
  const bool usable = (array.flags() & py::array::f_style) && (array.flags() & py::detail::npy_api::NPY_ARRAY_ALIGNED_) &&
                      array.dtype().attr("isnative").cast<bool>();
  if (!usable) {
    py::dtype native = array.dtype().attr("newbyteorder")("=");
    array = numpy.attr("asfortranarray")(array, native);
  }
  std::vector<mwSize> dims;
  for (py::ssize_t k = 0; k < array.ndim(); ++k) dims.push_back(static_cast<mwSize>(array.shape(k)));
  if (dims.size() == 1) dims.push_back(1);  // a 1-D array is a column
  Input input;
  input.arrays.push_back(array);
  input.host = view_array(found.id, dims, const_cast<void*>(array.data()));
  return input;
}

// An output array as NumPy: the host block becomes the array's own, released with it. A
// cell becomes a list of its elements in column order (None for one never set).
py::object to_numpy(mxArray* array) {
  if (array->class_id == mxCELL_CLASS) {
    py::list elements;
    std::vector<mxArray*> cells;
    cells.swap(array->cells);
    release_array(array);
    std::size_t k = 0;
    try {
      for (; k < cells.size(); ++k) {
        if (cells[k]) elements.append(to_numpy(cells[k]));
        else elements.append(py::none());
      }
    } catch (...) {
      for (++k; k < cells.size(); ++k) {
        if (cells[k]) release_array(cells[k]);
      }
      throw;
    }
    return std::move(elements);
  }
  const std::vector<mwSize> dims = array->dims;
  void* data = array->data;
  array->owned = false;
  release_array(array);
  py::capsule owner(data, [](void* block) { std::free(block); });
  std::vector<py::ssize_t> shape(dims.begin(), dims.end());
  std::vector<py::ssize_t> strides;
  py::ssize_t stride = sizeof(double);
  for (mwSize d : dims) {
    strides.push_back(stride);
    stride *= static_cast<py::ssize_t>(d ? d : 1);
  }
  return py::array(py::dtype::of<double>(), shape, strides, data, owner);
}

py::tuple call(const std::string& name, int nlhs, const py::sequence& inputs, const py::sequence& names) {
  EntryPoint entry = nullptr;
  const char* upper = nullptr;
  if (name == "vorla_fit") entry = vorla_fit, upper = "VORLA_FIT";
  else if (name == "vorla_learn") entry = vorla_learn, upper = "VORLA_LEARN";
  else if (name == "vorla_eval") entry = vorla_eval, upper = "VORLA_EVAL";
  else if (name == "vorla_score") entry = vorla_score, upper = "VORLA_SCORE";
  else throw py::value_error("vorla._core.call: no entry point " + name);
  if (nlhs < 0 || nlhs > 8) throw py::value_error("vorla._core.call: nlhs must be in 0..8");

  std::vector<Input> held;
  struct Release {
    std::vector<Input>& held;
    ~Release() {
      for (Input& input : held) release_array(input.host);
    }
  } release{held};
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    const std::string arg = k < names.size() ? py::str(names[k]).cast<std::string>() : std::string("input");
    held.push_back(make_input(inputs[k], static_cast<int>(k) + 1, arg, upper));
  }
  std::vector<const mxArray*> prhs;
  for (const Input& input : held) prhs.push_back(input.host);
  std::vector<mxArray*> plhs(static_cast<std::size_t>(nlhs > 0 ? nlhs : 1), nullptr);

  Call state;
  state.serve_python = serve_python;
  state.next_check = std::chrono::steady_clock::now() + poll_interval;
  std::string error;
  bool failed = false;
  {
    py::gil_scoped_release free_gil;
    current = &state;
    try {
      entry(nlhs, plhs.data(), static_cast<int>(prhs.size()), prhs.data());
    } catch (const EngineError& e) {
      error = e.message;
      failed = true;
    } catch (const Interrupted&) {
      state.interrupted = true;
    } catch (const std::bad_alloc&) {
      error = std::string(upper) + ": Not enough memory available; unable to run!";
      failed = true;
    }
    current = nullptr;
  }

  // Outputs first become NumPy arrays, or are released; then blocks the engine left.
  const bool ok = !failed && !state.interrupted;
  std::vector<py::object> outputs;
  for (std::size_t k = 0; k < plhs.size(); ++k) {
    mxArray* out = plhs[k];
    if (!out) continue;
    state.created.erase(out);
    if (ok && static_cast<int>(k) < std::max(nlhs, 1)) outputs.push_back(to_numpy(out));
    else release_array(out);
  }
  for (mxArray* left : state.created) release_array(left);
  for (void* block : state.blocks) std::free(block);

  if (!state.text.empty()) {
    py::module_::import("sys").attr("stdout").attr("write")(state.text);
  }
  for (const std::string& warning : state.warnings) {
    if (PyErr_WarnEx(PyExc_RuntimeWarning, warning.c_str(), 1) != 0) throw py::error_already_set();
  }
  if (state.interrupted) {
    if (state.exception_type) {
      PyErr_Restore(static_cast<PyObject*>(state.exception_type), static_cast<PyObject*>(state.exception_value),
                    static_cast<PyObject*>(state.exception_traceback));
      throw py::error_already_set();
    }
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }
  if (failed) {
    // A value of the wrong kind is a TypeError, as Python's own functions say it.
    if (error.find("must be a full numeric or logical array") != std::string::npos) throw py::type_error(error);
    throw py::value_error(error);
  }
  py::tuple result(outputs.size());
  for (std::size_t k = 0; k < outputs.size(); ++k) result[k] = outputs[k];
  return result;
}

}  // namespace
}  // namespace vorla::python

PYBIND11_MODULE(_core, m) {
  m.doc() = "The vorla engine's entry points (vorla_fit, vorla_learn, vorla_eval, vorla_score).";
  m.def("call", &vorla::python::call, py::arg("name"), py::arg("nlhs"), py::arg("inputs"), py::arg("names"),
        "Runs one entry point on a sequence of inputs; returns its nlhs outputs as a tuple of arrays.");
  m.attr("poll_interval_ms") = static_cast<int>(vorla::python::poll_interval.count());
}
