// Status names and messages, the exceptions that carry them, and the threading choice.
#include "nrx/status.h"
#include "binding.h"

namespace nrx::py_binding {

// The one place that turns a status into text: the core library's lists, or "status N"
// for a code no list names.
std::string status_name(int service, int code) {
  const char* s = nrx_status_name(service, code);
  return s ? s : "status " + std::to_string(code);
}
std::string status_message(int service, int code) {
  const char* s = nrx_status_message(service, code);
  return s ? s : "status " + std::to_string(code);
}

void raise_status(int service, int code, const char* where) {
  py::object errors = py::module_::import("nrx.errors");
  py::object cls = errors.attr(service == svc_vm ? "VMError" : "Error");
  py::object exc = cls(service, code, status_name(service, code), status_message(service, code), where);
  PyErr_SetObject(cls.ptr(), exc.ptr());
  throw py::error_already_set();
}

namespace {
int threading_choice = 0;
constexpr int64_t parallel_work = int64_t(1) << 22;
}  // namespace

const nrx_threading* threading_for(int64_t work) {
  const bool parallel = threading_choice == 2 || (threading_choice == 0 && work >= parallel_work);
  return parallel ? &nrx_threading_openmp : &nrx_threading_serial;
}

void init_status(py::module_& m) {
  m.def(
      "set_threading",
      [](const std::string& how) {
        const char* const names[] = {"auto", "serial", "openmp"};
        for (int k = 0; k < 3; ++k)
          if (how == names[k]) return std::string(names[std::exchange(threading_choice, k)]);
        throw py::value_error("threading must be 'auto', 'serial' or 'openmp'");
      },
      py::arg("how"),
      "Threading of statistics and fitting calls: 'auto' (serial below 2^22 elements of work, the\n"
      "OpenMP table above), 'serial' or 'openmp'. Returns the previous choice.");
  m.def("status_name", &status_name, py::arg("service"), py::arg("code"));
  m.def("status_message", &status_message, py::arg("service"), py::arg("code"));
}

}  // namespace nrx::py_binding
