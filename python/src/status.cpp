// Status names and messages, and the exceptions that carry them.
#include "binding.h"

namespace nrx::py_binding {

// The one place that turns a status into text; until the core library's status lookup is
// linked here every code reads "status N".
std::string status_name(int /*service*/, int code) { return "status " + std::to_string(code); }
std::string status_message(int /*service*/, int code) { return "status " + std::to_string(code); }

void raise_status(int service, int code, const char* where) {
  py::object errors = py::module_::import("nrx.errors");
  py::object cls = errors.attr(service == svc_vm ? "VMError" : "Error");
  py::object exc = cls(service, code, status_name(service, code), status_message(service, code), where);
  PyErr_SetObject(cls.ptr(), exc.ptr());
  throw py::error_already_set();
}

void init_status(py::module_& m) {
  m.def("status_name", &status_name, py::arg("service"), py::arg("code"));
  m.def("status_message", &status_message, py::arg("service"), py::arg("code"));
}

}  // namespace nrx::py_binding
