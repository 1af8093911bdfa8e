// The extension module nrx._nrx: one submodule per service.
#include "binding.h"

PYBIND11_MODULE(_nrx, m) {
  using namespace nrx::py_binding;
  m.doc() = "Binding of the nrx kernel library; use the nrx package, not this module.";
  init_status(m);
  auto vm = m.def_submodule("vm");
  init_vm(vm);
  auto rnd = m.def_submodule("random");
  init_random(rnd);
  auto st = m.def_submodule("stats");
  init_stats(st);
  init_estimators(st);
  auto fit = m.def_submodule("fit");
  init_fit(fit);
}
