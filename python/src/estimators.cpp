// The order-based and iterative estimators over numpy arrays: quantiles, absolute deviations,
// robust covariance, outlier weights and missing values. Each call builds a task of its own over
// the caller's data, registers fresh result arrays, runs without the GIL and deletes the task.
#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <tuple>

#include "binding.h"
#include "nrx/stats.h"

namespace nrx::py_binding {
namespace {

template <class T> struct Calls;
template <> struct Calls<double> {
  static constexpr auto new_task = _drudSSNewTask;
  static constexpr auto edit = _drudSSEditTask;
  static constexpr auto quantiles = drudSSQuantiles;
  static constexpr auto mad = drudSSMAD;
  static constexpr auto robust = drudSSRobustCovariance;
  static constexpr auto outliers = drudSSOutliersDetection;
  static constexpr auto missing = drudSSMissingValues;
};
template <> struct Calls<float> {
  static constexpr auto new_task = _drusSSNewTask;
  static constexpr auto edit = _drusSSEditTask;
  static constexpr auto quantiles = drusSSQuantiles;
  static constexpr auto mad = drusSSMAD;
  static constexpr auto robust = drusSSRobustCovariance;
  static constexpr auto outliers = drusSSOutliersDetection;
  static constexpr auto missing = drusSSMissingValues;
};

using Routine = int32_t (*)(NrxSSTask*, uint64_t, uint64_t, const nrx_threading*);

// A task over data (p, n) with rows = true or (n, p); arrays and integers it is given stay alive
// as long as it does.
template <class T> class OneShot {
 public:
  OneShot(py::array data, bool rows) : data_(data) {
    std::tie(ints_[0], ints_[1]) = task_dims(data, rows);
    ints_[2] = rows ? NRX_SS_STORAGE_ROWS : NRX_SS_STORAGE_COLUMNS;
    const int32_t st = Calls<T>::new_task(&t_, &ints_[0], &ints_[1], &ints_[2], static_cast<const T*>(data.data()),
                                          nullptr, nullptr, 0);
    if (st != 0) {
      if (t_) _druSSDeleteTask(&t_);
      raise_status(svc_stats, st, "Task");
    }
  }
  OneShot(const OneShot&) = delete;
  ~OneShot() {
    if (t_) _druSSDeleteTask(&t_);
  }
  int64_t p() const { return ints_[0]; }
  int64_t n() const { return ints_[1]; }

  // A fresh result or parameter array of `count` values registered as `id`.
  py::array_t<T> real(int id, int64_t count, const T* init = nullptr) {
    py::array_t<T> a(count);
    if (init) std::copy(init, init + count, a.mutable_data());
    check(svc_stats, Calls<T>::edit(t_, id, a.data()), "Task.edit");
    keep_.push_back(a);
    return a;
  }
  void integer(int id, int32_t value) {
    int32_t& slot = named_[id];
    slot = value;
    check(svc_stats, _druiSSEditTask(t_, id, &slot), "Task.edit");
  }
  void run(Routine f, uint64_t est, uint64_t method, const char* where) {
    int32_t st;
    {
      py::gil_scoped_release nogil;
      st = f(t_, est, method, threading_for(n() * p()));
    }
    check(svc_stats, st, where);
  }

 private:
  NrxSSTask* t_ = nullptr;
  int32_t ints_[3];
  py::array data_;
  std::vector<py::array> keep_;
  std::map<int, int32_t> named_;  // nodes keep their addresses, which the task holds
};

template <class T>
py::array quantiles(py::array data, bool rows, py::array_t<T, py::array::c_style | py::array::forcecast> orders) {
  OneShot<T> t(data, rows);
  const int64_t m = orders.size();
  if (m < 1 || m > INT32_MAX) throw py::value_error("need at least one order");
  t.integer(NRX_SS_PARAM_QUANTILE_ORDER_COUNT, int32_t(m));
  t.real(NRX_SS_PARAM_QUANTILE_ORDERS, m, orders.data());
  auto q = t.real(NRX_SS_PARAM_QUANTILES, t.p() * m);
  t.run(Calls<T>::quantiles, NRX_SS_EST_QUANTILES, NRX_SS_METHOD_QUANTILES, "quantile");
  return q.reshape({t.p(), m});
}

template <class T> py::tuple mad(py::array data, bool rows) {
  OneShot<T> t(data, rows);
  auto median = t.real(NRX_SS_PARAM_MEDIAN_ABS_DEVIATION, t.p());
  auto mean = t.real(NRX_SS_PARAM_MEAN_ABS_DEVIATION, t.p());
  t.run(Calls<T>::mad, NRX_SS_EST_MEDIAN_ABS_DEVIATION | NRX_SS_EST_MEAN_ABS_DEVIATION, NRX_SS_METHOD_FAST, "mad");
  return py::make_tuple(median, mean);
}

template <class T> py::tuple robust_cov(py::array data, bool rows, const std::vector<double>& params) {
  OneShot<T> t(data, rows);
  std::vector<T> prm(params.begin(), params.end());
  t.integer(NRX_SS_PARAM_ROBUST_COVARIANCE_STORAGE, NRX_SS_MATRIX_FULL);
  t.integer(NRX_SS_PARAM_ROBUST_PARAMETER_COUNT, int32_t(prm.size()));
  t.real(NRX_SS_PARAM_ROBUST_PARAMETERS, int64_t(prm.size()), prm.data());
  auto mean = t.real(NRX_SS_PARAM_ROBUST_MEAN, t.p());
  auto cov = t.real(NRX_SS_PARAM_ROBUST_COVARIANCE, t.p() * t.p());
  t.run(Calls<T>::robust, 0, NRX_SS_METHOD_ROBUST_COVARIANCE, "robust_cov");
  return py::make_tuple(mean, cov.reshape({t.p(), t.p()}));
}

template <class T> py::array outliers(py::array data, bool rows, const std::vector<double>& params) {
  OneShot<T> t(data, rows);
  std::vector<T> prm(params.begin(), params.end());
  t.integer(NRX_SS_PARAM_OUTLIER_PARAMETER_COUNT, int32_t(prm.size()));
  t.real(NRX_SS_PARAM_OUTLIER_PARAMETERS, int64_t(prm.size()), prm.data());
  auto w = t.real(NRX_SS_PARAM_OUTLIER_WEIGHTS, t.n());
  t.run(Calls<T>::outliers, 0, NRX_SS_METHOD_OUTLIERS_DETECTION, "outliers");
  return w;
}

// params: the five missing-value parameters; init: p (p + 3) / 2 values or empty. Returns the
// simulated values and the imputations, flat.
template <class T> py::tuple missing_values(py::array data, bool rows, const std::vector<double>& params,
                                            const std::vector<double>& init) {
  OneShot<T> t(data, rows);
  std::vector<T> prm(params.begin(), params.end()), ini(init.begin(), init.end());
  const int64_t per = t.p() * (t.p() + 3) / 2, sims = int64_t(params[3]) * int64_t(params[1]) * per,
                ests = int64_t(params[3]) * int64_t(params[4]);
  if (sims > INT32_MAX || ests > INT32_MAX) throw py::value_error("too many simulated values or imputations");
  t.integer(NRX_SS_PARAM_MISSING_PARAMETER_COUNT, 5);
  t.real(NRX_SS_PARAM_MISSING_PARAMETERS, 5, prm.data());
  if (!ini.empty()) {
    t.integer(NRX_SS_PARAM_INITIAL_ESTIMATE_COUNT, int32_t(ini.size()));
    t.real(NRX_SS_PARAM_INITIAL_ESTIMATES, int64_t(ini.size()), ini.data());
  }
  t.integer(NRX_SS_PARAM_SIMULATED_COUNT, int32_t(sims));
  auto sim = t.real(NRX_SS_PARAM_SIMULATED_VALUES, sims);
  t.integer(NRX_SS_PARAM_ESTIMATE_COUNT, int32_t(ests));
  auto est = t.real(NRX_SS_PARAM_ESTIMATES, ests);
  t.run(Calls<T>::missing, 0, NRX_SS_METHOD_MISSING_VALUES, "missing_values");
  return py::make_tuple(sim, est);
}

bool single(const py::array& data) {
  if (data.dtype().kind() != 'f' || (data.itemsize() != 4 && data.itemsize() != 8))
    throw py::type_error("data must be float32 or float64");
  return data.itemsize() == 4;
}

}  // namespace

void init_estimators(py::module_& m) {
  m.def("quantiles", [](py::array d, bool rows, py::array q) {
    return single(d) ? quantiles<float>(d, rows, q) : quantiles<double>(d, rows, q);
  });
  m.def("mad", [](py::array d, bool rows) { return single(d) ? mad<float>(d, rows) : mad<double>(d, rows); });
  m.def("robust_cov", [](py::array d, bool rows, const std::vector<double>& prm) {
    return single(d) ? robust_cov<float>(d, rows, prm) : robust_cov<double>(d, rows, prm);
  });
  m.def("outliers", [](py::array d, bool rows, const std::vector<double>& prm) {
    return single(d) ? outliers<float>(d, rows, prm) : outliers<double>(d, rows, prm);
  });
  m.def("missing_values", [](py::array d, bool rows, const std::vector<double>& prm, const std::vector<double>& ini) {
    return single(d) ? missing_values<float>(d, rows, prm, ini) : missing_values<double>(d, rows, prm, ini);
  });
}

}  // namespace nrx::py_binding
