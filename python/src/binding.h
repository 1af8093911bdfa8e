// Shared pieces of the extension: the per-service init functions and the status raise.
#pragma once
#include <pybind11/complex.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>

#include "nrx/core.h"

namespace nrx::py_binding {
namespace py = pybind11;

// Service numbers of the status lookup: vector math, random numbers, statistics, fitting.
enum Service : int { svc_vm = 0, svc_rng = 1, svc_stats = 2, svc_fit = 3 };

std::string status_name(int service, int code);
std::string status_message(int service, int code);

// Raises nrx.Error (nrx.VMError for vector math) for a non-zero status.
[[noreturn]] void raise_status(int service, int code, const char* where);
inline void check(int service, int code, const char* where) {
  if (code != 0) raise_status(service, code, where);
}

// Threading table of a statistics or fitting call with `work` elements: the caller's choice
// (0 auto, 1 serial, 2 OpenMP); auto goes serial below a size where waking the OpenMP team
// costs more than it saves.
const nrx_threading* threading_for(int64_t work);

// Variables p and observations n of 2-D C-contiguous task data, (p, n) with rows = true and
// (n, p) otherwise, each in 1 .. 2^31 - 1; ValueError for anything else.
inline std::pair<int32_t, int32_t> task_dims(const py::array& data, bool rows) {
  if (data.ndim() != 2) throw py::value_error("data must be 2-D");
  if (!(data.flags() & py::array::c_style)) throw py::value_error("data must be C-contiguous");
  const auto a = data.shape(0), b = data.shape(1);
  const auto p = rows ? a : b, n = rows ? b : a;
  if (p < 1 || p > INT32_MAX || n < 1 || n > INT32_MAX) throw py::value_error("data dimensions outside 1 .. 2^31 - 1");
  return {int32_t(p), int32_t(n)};
}

// A dict of named library constants, for the Python modules' tables.
inline py::dict named(std::initializer_list<std::pair<const char*, int64_t>> rows) {
  py::dict d;
  for (const auto& [name, value] : rows) d[name] = value;
  return d;
}

void init_status(py::module_& m);
void init_vm(py::module_& m);
void init_random(py::module_& m);
void init_stats(py::module_& m);
void init_estimators(py::module_& m);
void init_fit(py::module_& m);

}  // namespace nrx::py_binding
