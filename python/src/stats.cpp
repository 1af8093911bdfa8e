// The summary statistics task over numpy arrays: it keeps every array it registers alive
// and checks each array's size before a compute routine writes through it.
#include <climits>
#include <map>
#include <optional>
#include <tuple>

#include "binding.h"
#include "nrx/core.h"
#include "nrx/stats.h"

namespace nrx::py_binding {
namespace {

// What a registered real array holds, and so how many elements it needs.
enum class Extent { per_variable, matrix, weight_pair, per_observation };

struct RealParam {
  int id;
  Extent extent;
  int storage;  // id of the storage code of a matrix, 0 otherwise
  int missing;  // status of a compute routine that needs the array when none is registered
};
constexpr RealParam real_params[] = {
    {NRX_SS_PARAM_WEIGHTS, Extent::per_observation, 0, NRX_SS_STATUS_NULL_WEIGHTS},
    {NRX_SS_PARAM_MEAN, Extent::per_variable, 0, NRX_SS_STATUS_NULL_MEAN},
    {NRX_SS_PARAM_RAW_MOMENT_2, Extent::per_variable, 0, NRX_SS_STATUS_NULL_RAW_MOMENT_2},
    {NRX_SS_PARAM_RAW_MOMENT_3, Extent::per_variable, 0, NRX_SS_STATUS_NULL_RAW_MOMENT_3},
    {NRX_SS_PARAM_RAW_MOMENT_4, Extent::per_variable, 0, NRX_SS_STATUS_NULL_RAW_MOMENT_4},
    {NRX_SS_PARAM_CENTRAL_MOMENT_2, Extent::per_variable, 0, NRX_SS_STATUS_NULL_CENTRAL_MOMENT_2},
    {NRX_SS_PARAM_CENTRAL_MOMENT_3, Extent::per_variable, 0, NRX_SS_STATUS_NULL_CENTRAL_MOMENT_3},
    {NRX_SS_PARAM_CENTRAL_MOMENT_4, Extent::per_variable, 0, NRX_SS_STATUS_NULL_CENTRAL_MOMENT_4},
    {NRX_SS_PARAM_KURTOSIS, Extent::per_variable, 0, NRX_SS_STATUS_NULL_KURTOSIS},
    {NRX_SS_PARAM_SKEWNESS, Extent::per_variable, 0, NRX_SS_STATUS_NULL_SKEWNESS},
    {NRX_SS_PARAM_MINIMUM, Extent::per_variable, 0, NRX_SS_STATUS_NULL_MINIMUM},
    {NRX_SS_PARAM_MAXIMUM, Extent::per_variable, 0, NRX_SS_STATUS_NULL_MAXIMUM},
    {NRX_SS_PARAM_VARIATION, Extent::per_variable, 0, NRX_SS_STATUS_NULL_VARIATION},
    {NRX_SS_PARAM_COVARIANCE, Extent::matrix, NRX_SS_PARAM_COVARIANCE_STORAGE, NRX_SS_STATUS_NULL_COVARIANCE},
    {NRX_SS_PARAM_CORRELATION, Extent::matrix, NRX_SS_PARAM_CORRELATION_STORAGE, NRX_SS_STATUS_NULL_CORRELATION},
    {NRX_SS_PARAM_ACCUMULATED_WEIGHTS, Extent::weight_pair, 0, NRX_SS_STATUS_NULL_ACCUMULATED_WEIGHTS},
    {NRX_SS_PARAM_SUM_1, Extent::per_variable, 0, NRX_SS_STATUS_NULL_SUM_1},
    {NRX_SS_PARAM_SUM_2, Extent::per_variable, 0, NRX_SS_STATUS_NULL_SUM_2},
    {NRX_SS_PARAM_SUM_3, Extent::per_variable, 0, NRX_SS_STATUS_NULL_SUM_3},
    {NRX_SS_PARAM_SUM_4, Extent::per_variable, 0, NRX_SS_STATUS_NULL_SUM_4},
    {NRX_SS_PARAM_CENTRAL_SUM_2, Extent::per_variable, 0, NRX_SS_STATUS_NULL_CENTRAL_SUM_2},
    {NRX_SS_PARAM_CENTRAL_SUM_3, Extent::per_variable, 0, NRX_SS_STATUS_NULL_CENTRAL_SUM_3},
    {NRX_SS_PARAM_CENTRAL_SUM_4, Extent::per_variable, 0, NRX_SS_STATUS_NULL_CENTRAL_SUM_4},
    {NRX_SS_PARAM_CROSS_PRODUCT, Extent::matrix, NRX_SS_PARAM_CROSS_PRODUCT_STORAGE, NRX_SS_STATUS_NULL_CROSS_PRODUCT},
};
constexpr int storage_params[] = {NRX_SS_PARAM_COVARIANCE_STORAGE, NRX_SS_PARAM_CORRELATION_STORAGE,
                                  NRX_SS_PARAM_CROSS_PRODUCT_STORAGE};

const RealParam* find_real(int id) {
  for (const auto& r : real_params)
    if (r.id == id) return &r;
  return nullptr;
}

constexpr int64_t gil_threshold = 1 << 14;

class Task {
 public:
  // data: C-contiguous (p, n) with rows = true (variables in rows), (n, p) otherwise.
  Task(py::array data, bool rows) : rows_(rows) {
    single_ = data.dtype().kind() == 'f' && data.itemsize() == 4;
    std::tie(p_, n_) = task_dims(data, rows);
    layout_ = rows ? NRX_SS_STORAGE_ROWS : NRX_SS_STORAGE_COLUMNS;
    data_ = data;
    const int32_t st =
        single_ ? _drusSSNewTask(&t_, &p_, &n_, &layout_, static_cast<const float*>(data.data()), nullptr, nullptr, 0)
                : _drudSSNewTask(&t_, &p_, &n_, &layout_, static_cast<const double*>(data.data()), nullptr, nullptr, 0);
    if (st != 0) {
      if (t_) _druSSDeleteTask(&t_);
      raise_status(svc_stats, st, "Task");
    }
  }
  Task(const Task&) = delete;
  ~Task() {
    if (t_) _druSSDeleteTask(&t_);
  }

  int32_t dimension() const { return p_; }
  int32_t observations() const { return n_; }
  bool single() const { return single_; }
  bool rows() const { return rows_; }

  // A new block of observations of the same variables and layout.
  void set_data(py::array data) {
    if (data.ndim() != 2 || !data.dtype().equal(data_.dtype()) || !(data.flags() & py::array::c_style))
      throw py::type_error("data must keep the task's dtype and be 2-D");
    const auto p = rows_ ? data.shape(0) : data.shape(1), n = rows_ ? data.shape(1) : data.shape(0);
    if (p != p_) throw py::value_error("data must keep the task's number of variables");
    if (n < 1 || n > INT32_MAX) throw py::value_error("observation count outside 1 .. 2^31 - 1");
    edit_real_raw(NRX_SS_PARAM_DATA, data);
    n_ = int32_t(n);
    data_ = data;
  }

  void edit(int id, py::array a) {
    if (!find_real(id)) throw py::value_error("parameter " + std::to_string(id) + " is not a real array of this task");
    edit_real_raw(id, a);
    keep_[id] = a;
  }

  // Storage codes of matrix results and the component indices.
  void edit_int(int id, py::object value) {
    if (id == NRX_SS_PARAM_INDICES) {
      auto a = value.cast<py::array_t<int32_t, py::array::c_style | py::array::forcecast>>();
      if (a.size() != p_) throw py::value_error("indices need one entry per variable");
      check(svc_stats, _druiSSEditTask(t_, id, a.data()), "Task.edit");
      keep_[id] = a;
      return;
    }
    bool storage = false;
    for (int s : storage_params) storage |= s == id;
    if (!storage) throw py::value_error("parameter " + std::to_string(id) + " is not an integer of this task");
    const int32_t v = value.cast<int32_t>();
    if (v != NRX_SS_MATRIX_FULL && v != NRX_SS_MATRIX_PACKED_A && v != NRX_SS_MATRIX_PACKED_B)
      throw py::value_error("storage code must be full (0), packed A (1) or packed B (2)");
    ints_[id] = v;
    check(svc_stats, _druiSSEditTask(t_, id, &ints_[id]), "Task.edit");
  }

  void basic(uint64_t estimates, uint64_t methods) { compute(estimates, methods, false); }
  void minmax(uint64_t estimates, uint64_t methods) { compute(estimates, methods, true); }

 private:
  void edit_real_raw(int id, py::array a) {
    if (!a.dtype().equal(data_.dtype()))
      throw py::type_error("arrays of this task have dtype " + py::str(data_.dtype()).cast<std::string>());
    if (!(a.flags() & py::array::c_style)) throw py::value_error("arrays of a task must be C-contiguous");
    if (id != NRX_SS_PARAM_DATA && id != NRX_SS_PARAM_WEIGHTS && !a.writeable())
      throw py::value_error("result arrays must be writeable");
    const int32_t st = single_ ? _drusSSEditTask(t_, id, static_cast<const float*>(a.data()))
                               : _drudSSEditTask(t_, id, static_cast<const double*>(a.data()));
    check(svc_stats, st, "Task.edit");
  }

  int64_t needed(const RealParam& r) const {
    switch (r.extent) {
      case Extent::per_variable: return p_;
      case Extent::weight_pair: return 2;
      case Extent::per_observation: return n_;
      case Extent::matrix: {
        auto it = ints_.find(r.storage);
        const bool packed = it != ints_.end() && it->second != NRX_SS_MATRIX_FULL;
        return packed ? int64_t(p_) * (p_ + 1) / 2 : int64_t(p_) * p_;
      }
    }
    return 0;
  }

  void compute(uint64_t estimates, uint64_t methods, bool minmax) {
    for (const auto& [id, a] : keep_) {
      const RealParam* r = find_real(id);
      if (r && a.size() < needed(*r))
        throw py::value_error("array of parameter " + std::to_string(id) + " has " + std::to_string(a.size()) +
                              " elements, needs " + std::to_string(needed(*r)));
    }
    int32_t st;
    {
      std::optional<py::gil_scoped_release> nogil;
      if (int64_t(n_) * p_ >= gil_threshold) nogil.emplace();
      const nrx_threading* th = threading_for(int64_t(n_) * p_);
      st = minmax ? (single_ ? drusSSMinmax(t_, estimates, methods, th) : drudSSMinmax(t_, estimates, methods, th))
                  : (single_ ? drusSSBasic(t_, estimates, methods, th) : drudSSBasic(t_, estimates, methods, th));
    }
    check(svc_stats, st, minmax ? "minmax" : "basic");
  }

  NrxSSTask* t_ = nullptr;
  bool single_ = false, rows_ = true;
  int32_t p_ = 0, n_ = 0, layout_ = 0;
  py::array data_;
  std::map<int, py::array> keep_;
  std::map<int, int32_t> ints_;  // nodes keep their addresses, which the task holds
};

}  // namespace

void init_stats(py::module_& m) {
  // Estimates of the basic statistics: name, estimate bit, parameter of the result array.
  py::dict est;
  const std::tuple<const char*, uint64_t, int> rows[] = {
      {"mean", NRX_SS_EST_MEAN, NRX_SS_PARAM_MEAN},
      {"raw_moment_2", NRX_SS_EST_RAW_MOMENT_2, NRX_SS_PARAM_RAW_MOMENT_2},
      {"raw_moment_3", NRX_SS_EST_RAW_MOMENT_3, NRX_SS_PARAM_RAW_MOMENT_3},
      {"raw_moment_4", NRX_SS_EST_RAW_MOMENT_4, NRX_SS_PARAM_RAW_MOMENT_4},
      {"central_moment_2", NRX_SS_EST_CENTRAL_MOMENT_2, NRX_SS_PARAM_CENTRAL_MOMENT_2},
      {"central_moment_3", NRX_SS_EST_CENTRAL_MOMENT_3, NRX_SS_PARAM_CENTRAL_MOMENT_3},
      {"central_moment_4", NRX_SS_EST_CENTRAL_MOMENT_4, NRX_SS_PARAM_CENTRAL_MOMENT_4},
      {"kurtosis", NRX_SS_EST_KURTOSIS, NRX_SS_PARAM_KURTOSIS},
      {"skewness", NRX_SS_EST_SKEWNESS, NRX_SS_PARAM_SKEWNESS},
      {"variation", NRX_SS_EST_VARIATION, NRX_SS_PARAM_VARIATION},
      {"min", NRX_SS_EST_MINIMUM, NRX_SS_PARAM_MINIMUM},
      {"max", NRX_SS_EST_MAXIMUM, NRX_SS_PARAM_MAXIMUM},
      {"cov", NRX_SS_EST_COVARIANCE, NRX_SS_PARAM_COVARIANCE},
      {"corr", NRX_SS_EST_CORRELATION, NRX_SS_PARAM_CORRELATION},
      {"sum_1", NRX_SS_EST_SUM_1, NRX_SS_PARAM_SUM_1},
      {"sum_2", NRX_SS_EST_SUM_2, NRX_SS_PARAM_SUM_2},
      {"sum_3", NRX_SS_EST_SUM_3, NRX_SS_PARAM_SUM_3},
      {"sum_4", NRX_SS_EST_SUM_4, NRX_SS_PARAM_SUM_4},
      {"central_sum_2", NRX_SS_EST_CENTRAL_SUM_2, NRX_SS_PARAM_CENTRAL_SUM_2},
      {"central_sum_3", NRX_SS_EST_CENTRAL_SUM_3, NRX_SS_PARAM_CENTRAL_SUM_3},
      {"central_sum_4", NRX_SS_EST_CENTRAL_SUM_4, NRX_SS_PARAM_CENTRAL_SUM_4},
      {"cross_product", NRX_SS_EST_CROSS_PRODUCT, NRX_SS_PARAM_CROSS_PRODUCT},
  };
  for (const auto& [name, bit, param] : rows) est[name] = py::make_tuple(bit, param);
  m.attr("ESTIMATES") = est;
  m.attr("METHODS") = named({{"fast", NRX_SS_METHOD_FAST},
                             {"one_pass", NRX_SS_METHOD_ONE_PASS},
                             {"fast_given_mean", NRX_SS_METHOD_FAST_GIVEN_MEAN},
                             {"cross_product_to_covariance", NRX_SS_METHOD_CROSS_PRODUCT_TO_COVARIANCE},
                             {"sums_to_moments", NRX_SS_METHOD_SUMS_TO_MOMENTS}});
  m.attr("PARAMS") = named({{"weights", NRX_SS_PARAM_WEIGHTS},
                            {"accumulated_weights", NRX_SS_PARAM_ACCUMULATED_WEIGHTS},
                            {"indices", NRX_SS_PARAM_INDICES},
                            {"cov_storage", NRX_SS_PARAM_COVARIANCE_STORAGE},
                            {"corr_storage", NRX_SS_PARAM_CORRELATION_STORAGE},
                            {"cross_product_storage", NRX_SS_PARAM_CROSS_PRODUCT_STORAGE}});
  py::dict missing;
  for (const auto& r : real_params) missing[py::int_(r.missing)] = r.id;
  m.attr("MISSING") = missing;

  py::class_<Task>(m, "Task")
      .def(py::init<py::array, bool>(), py::arg("data"), py::arg("rows"), py::keep_alive<1, 2>())
      .def_property_readonly("dimension", &Task::dimension)
      .def_property_readonly("observations", &Task::observations)
      .def_property_readonly("rows", &Task::rows)
      .def("set_data", &Task::set_data, py::arg("data"))
      .def("edit", &Task::edit, py::arg("param"), py::arg("array"))
      .def("edit_int", &Task::edit_int, py::arg("param"), py::arg("value"))
      .def("basic", &Task::basic, py::arg("estimates"), py::arg("methods"))
      .def("minmax", &Task::minmax, py::arg("estimates"), py::arg("methods"));
}

}  // namespace nrx::py_binding
