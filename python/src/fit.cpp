// Data fitting over numpy arrays: a spline task that owns copies of its breakpoints, values
// and coefficients, with evaluation, integration and cell search.
#include <climits>
#include <optional>
#include <vector>

#include "binding.h"
#include "nrx/core.h"
#include "nrx/fit.h"

namespace nrx::py_binding {
namespace {

using ConstructD = int32_t (*)(DfTask*, int64_t, int64_t, const nrx_threading*);

// The spline kinds by the names Python users give them; a kind joins with one row.
struct KindRow {
  const char* name;
  int64_t order, type;
  ConstructD build_d, build_s;  // null for the step kinds, which evaluate the values directly
};
#define NRX_KIND(name, order, type, kernel) \
  { name, order, type, nrx_df_kernel_d##kernel, nrx_df_kernel_s##kernel }
const KindRow kind_rows[] = {
    NRX_KIND("linear", DFK_ORDER_LINEAR, DFK_TYPE_DEFAULT, DFLinearSpline1D),
    NRX_KIND("quadratic", DFK_ORDER_QUADRATIC, DFK_TYPE_DEFAULT, DFQuadraticSpline1D),
    NRX_KIND("quadratic_knots", DFK_ORDER_QUADRATIC, DFK_TYPE_QUAD_KNOTS, DFQuadraticSpline1D),
    NRX_KIND("natural", DFK_ORDER_CUBIC, DFK_TYPE_NATURAL, DFNaturalCubicSpline1D),
    NRX_KIND("cubic", DFK_ORDER_CUBIC, DFK_TYPE_DEFAULT, DFDefaultCubicSpline1D),
    NRX_KIND("hermite", DFK_ORDER_CUBIC, DFK_TYPE_HERMITE, DFHermiteCubicSpline1D),
    NRX_KIND("bessel", DFK_ORDER_CUBIC, DFK_TYPE_BESSEL, DFBesselCubicSpline1D),
    NRX_KIND("akima", DFK_ORDER_CUBIC, DFK_TYPE_AKIMA, DFAkimaCubicSpline1D),
    NRX_KIND("hyman", DFK_ORDER_CUBIC, DFK_TYPE_HYMAN, DFHymanCubicSpline1D),
    {"step_right", DFK_ORDER_STEP, DFK_TYPE_STEP_RIGHT, nullptr, nullptr},
    {"step_left", DFK_ORDER_STEP, DFK_TYPE_STEP_LEFT, nullptr, nullptr},
};
#undef NRX_KIND

constexpr int64_t gil_threshold = 4096;

class Spline {
 public:
  // x: contiguous (nx,), y: contiguous (ny, nx), both float32 or both float64; ic and bc may
  // be empty arrays of the same dtype.
  Spline(py::array x, py::array y, const std::string& kind, int64_t bc_type, py::array bc, int64_t ic_type,
         py::array ic)
      : x_(x), y_(y), bc_(bc), ic_(ic) {
    single_ = x.itemsize() == 4;
    for (const py::array* a : {&x, &y, &bc, &ic})
      if (!a->dtype().equal(x.dtype()) || !(a->flags() & py::array::c_style) || a->dtype().kind() != 'f')
        throw py::type_error("x, y, bc and ic must be C-contiguous arrays of one float dtype");
    if (x.ndim() != 1 || y.ndim() != 2 || y.shape(1) != x.shape(0))
      throw py::value_error("x must be (nx,) and y (ny, nx)");
    for (const auto& r : kind_rows)
      if (kind == r.name) kind_ = &r;
    if (!kind_) throw py::value_error("unknown spline kind '" + kind + "'");
    nx_ = x.shape(0);
    ny_ = y.shape(0);
    const int64_t pieces = kind_->type == DFK_TYPE_QUAD_KNOTS ? nx_ : nx_ - 1;
    if (kind_->build_d) coeff_ = py::array(x.dtype(), std::vector<py::ssize_t>{ny_, pieces * kind_->order});
    const int32_t st =
        single_
            ? nrx_df_kernel_sNewTask1D(&t_, nx_, ptr<float>(x_), DFK_NON_UNIFORM, ny_, ptr<float>(y_), DFK_ROWS, 0)
            : nrx_df_kernel_dNewTask1D(&t_, nx_, ptr<double>(x_), DFK_NON_UNIFORM, ny_, ptr<double>(y_), DFK_ROWS, 0);
    if (st != 0) fail(st, "Spline");
    const void* bcp = bc_.size() ? bc_.data() : nullptr;
    const void* icp = ic_.size() ? ic_.data() : nullptr;
    void* cp = coeff_ ? coeff_.mutable_data() : nullptr;
    int32_t s2 =
        single_
            ? nrx_df_kernel_sEditPPSpline1D(t_, kind_->order, kind_->type, bc_type, static_cast<const float*>(bcp),
                                            ic_type, static_cast<const float*>(icp), static_cast<float*>(cp), DFK_ROWS)
            : nrx_df_kernel_dEditPPSpline1D(t_, kind_->order, kind_->type, bc_type, static_cast<const double*>(bcp),
                                            ic_type, static_cast<const double*>(icp), static_cast<double*>(cp),
                                            DFK_ROWS);
    if (s2 != 0) fail(s2, "Spline");
    if (kind_->build_d) {
      s2 = (single_ ? kind_->build_s : kind_->build_d)(t_, 0, 0, threading_for(nx_ * ny_));
      if (s2 != 0) fail(s2, "Spline");
    }
  }
  Spline(const Spline&) = delete;
  ~Spline() {
    if (t_) nrx_df_kernel_DeleteTask(&t_);
  }

  py::object coefficients() const { return coeff_ ? py::object(coeff_) : py::none(); }
  int64_t order() const { return kind_->order; }

  // Values and derivatives at the sites: result (ny, nsite, number of orders).
  py::array evaluate(py::array sites, const std::vector<int32_t>& dorder, bool sorted) const {
    like_x(sites);
    const int64_t ns = sites.size();
    int64_t nres = 0;
    for (auto d : dorder) nres += d != 0;
    py::array r(x_.dtype(), std::vector<py::ssize_t>{ny_, ns, nres});
    if (ns == 0) return r;
    int32_t st;
    {
      std::optional<py::gil_scoped_release> nogil;
      if (ns >= gil_threshold) nogil.emplace();
      const int64_t sh = sorted ? DFK_SORTED_DATA : 0;
      st = single_
               ? nrx_df_kernel_sDFInterpolate1D(t_, DFK_INTERP, 0, ns, ptr<float>(sites), sh, int64_t(dorder.size()),
                                                dorder.data(), nullptr, static_cast<float*>(r.mutable_data()), 16,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                nullptr, threading_for(ns * ny_ * nres))
               : nrx_df_kernel_dDFInterpolate1D(t_, DFK_INTERP, 0, ns, ptr<double>(sites), sh, int64_t(dorder.size()),
                                                dorder.data(), nullptr, static_cast<double*>(r.mutable_data()), 16,
                                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                nullptr, threading_for(ns * ny_ * nres));
    }
    check(svc_fit, st, "Spline.__call__");
    return r;
  }

  // Integrals over (a[l], b[l]): result (nlim, ny).
  py::array integrate(py::array a, py::array b) const {
    like_x(a);
    like_x(b);
    if (a.size() != b.size()) throw py::value_error("limits must pair up");
    const int64_t nl = a.size();
    py::array r(x_.dtype(), std::vector<py::ssize_t>{nl, ny_});
    if (nl == 0) return r;
    const int32_t st =
        single_ ? nrx_df_kernel_sDFIntegrate1D(t_, 0, nl, ptr<float>(a), 0, ptr<float>(b), 0, nullptr, nullptr,
                                               static_cast<float*>(r.mutable_data()), 0, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, nullptr, threading_for(nl * ny_))
                : nrx_df_kernel_dDFIntegrate1D(t_, 0, nl, ptr<double>(a), 0, ptr<double>(b), 0, nullptr, nullptr,
                                               static_cast<double*>(r.mutable_data()), 0, nullptr, nullptr, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, nullptr, threading_for(nl * ny_));
    check(svc_fit, st, "Spline.integrate");
    return r;
  }

  // Cell of each site: 0 left of x[0], k for x[k-1] <= t < x[k], nx right of x[nx-1].
  py::array search(py::array sites, bool sorted) const {
    like_x(sites);
    const int64_t ns = sites.size();
    py::array_t<int32_t> cells(ns);
    if (ns == 0) return cells;
    const int64_t sh = sorted ? DFK_SORTED_DATA : 0;
    const int32_t st = single_ ? nrx_df_kernel_sDFSearch1D(t_, 0, ns, ptr<float>(sites), sh, nullptr,
                                                           cells.mutable_data(), nullptr, nullptr, threading_for(ns))
                               : nrx_df_kernel_dDFSearch1D(t_, 0, ns, ptr<double>(sites), sh, nullptr,
                                                           cells.mutable_data(), nullptr, nullptr, threading_for(ns));
    check(svc_fit, st, "Spline.search");
    return cells;
  }

 private:
  void like_x(const py::array& a) const {
    if (!a.dtype().equal(x_.dtype()) || !(a.flags() & py::array::c_style))
      throw py::type_error("sites and limits must be C-contiguous arrays of the spline's dtype");
  }
  template <class T> static const T* ptr(const py::array& a) { return static_cast<const T*>(a.data()); }
  [[noreturn]] void fail(int32_t st, const char* where) {
    if (t_) nrx_df_kernel_DeleteTask(&t_);
    raise_status(svc_fit, st, where);
  }

  DfTask* t_ = nullptr;
  const KindRow* kind_ = nullptr;
  bool single_ = false;
  py::ssize_t nx_ = 0, ny_ = 0;
  py::array x_, y_, bc_, ic_, coeff_;
};

}  // namespace

void init_fit(py::module_& m) {
  py::list kinds;
  for (const auto& r : kind_rows) kinds.append(py::make_tuple(r.name, r.order, r.type));
  m.attr("kinds") = kinds;
  m.attr("BC") = named({{"not-a-knot", DFK_BC_NOT_A_KNOT},
                        {"free", DFK_BC_FREE_END},
                        {"first_left", DFK_BC_1ST_LEFT},
                        {"first_right", DFK_BC_1ST_RIGHT},
                        {"second_left", DFK_BC_2ND_LEFT},
                        {"second_right", DFK_BC_2ND_RIGHT},
                        {"periodic", DFK_BC_PERIODIC},
                        {"quad_midpoint", DFK_BC_QUAD_MIDPOINT}});
  m.attr("IC_QUAD_KNOTS") = DFK_IC_QUAD_KNOTS;
  m.attr("IC_KNOTS_GIVEN") = DFK_IC_KNOTS_GIVEN;

  py::class_<Spline>(m, "Spline")
      .def(py::init<py::array, py::array, const std::string&, int64_t, py::array, int64_t, py::array>(), py::arg("x"),
           py::arg("y"), py::arg("kind"), py::arg("bc_type"), py::arg("bc"), py::arg("ic_type"), py::arg("ic"))
      .def_property_readonly("coefficients", &Spline::coefficients)
      .def_property_readonly("order", &Spline::order)
      .def("evaluate", &Spline::evaluate, py::arg("sites"), py::arg("dorder"), py::arg("sorted"))
      .def("integrate", &Spline::integrate, py::arg("a"), py::arg("b"))
      .def("search", &Spline::search, py::arg("sites"), py::arg("sorted"));
}

}  // namespace nrx::py_binding
