// Vector math over numpy arrays: one dispatcher serves every function of the catalogue.
#include <climits>
#include <optional>
#include <vector>

#include "binding.h"
#include "nrx/zar.h"
#include "zar/service/catalog.h"

namespace nrx::py_binding {
namespace {

namespace cat = nrx::zar::catalog;
using Shape = cat::Shape;

// Type index of s, d, c, z; arrays of the four element types.
int type_index(char t) { return t == 's' ? 0 : t == 'd' ? 1 : t == 'c' ? 2 : 3; }
const char* const dtype_names[4] = {"float32", "float64", "complex64", "complex128"};
bool is_complex(int t) { return t >= 2; }

// numpy's dtype of each type index, made once (never freed: it outlives the interpreter).
const py::dtype& dtype_of(int t) {
  static const py::dtype* const d[4] = {new py::dtype(py::dtype::of<float>()), new py::dtype(py::dtype::of<double>()),
                                        new py::dtype(py::dtype::of<std::complex<float>>()),
                                        new py::dtype(py::dtype::of<std::complex<double>>())};
  return *d[t];
}

// Element type of the input (CIS reads reals) and of the results (Abs and Arg write reals).
int input_type(const cat::Entry& e) {
  int t = type_index(e.type);
  return e.shape == Shape::r2c ? t - 2 : t;
}
int result_type(const cat::Entry& e) {
  int t = type_index(e.type);
  return e.shape == Shape::c2r ? t - 2 : t;
}
bool is_pack(Shape s) { return s >= Shape::packI; }

int arrays_in(Shape s) { return s == Shape::v2 || s == Shape::lf ? 2 : 1; }
int scalars_in(Shape s) { return s == Shape::vs ? 1 : s == Shape::lf ? 4 : 0; }
int arrays_out(Shape s) { return s == Shape::v1r2 ? 2 : 1; }

const char* shape_name(Shape s) {
  static const char* const names[] = {"v1",    "v2",    "vs",    "v1r2",    "lf",      "c2r",    "r2c",
                                      "packI", "packM", "packV", "unpackI", "unpackM", "unpackV"};
  return names[static_cast<int>(s)];
}

// Python's policy for element errors, per thread: 0 raise VMError, 1 warn, 2 ignore.
thread_local int error_policy = 0;

// The first element error of the running call, recorded by the callback below.
struct FirstError {
  int32_t code, count;
  int64_t index, offset;
};
thread_local FirstError first_error;

int32_t record_error(ZarErrorContext* e) {
  if (first_error.count++ == 0) {
    first_error.code = e->code;
    first_error.index = first_error.offset + e->index;
  }
  return 0;  // the library's default handling and result go ahead as the mode word says
}

// Installs the recording callback for one call and restores the caller's afterwards.
class ErrorWatch {
 public:
  ErrorWatch() {
    mode_ = zarGetMode();
    // ERRMODE_NOERR alone records nothing, and a callback would change that
    active_ = error_policy != 2 && (mode_ & ZAR_ERRMODE_MASK) != ZAR_ERRMODE_NOERR;
    first_error = {0, 0, 0, 0};
    if (active_) {
      prev_ = zarSetErrorCallBack(&record_error);
      zarClearErrStatus();
    }
  }
  ~ErrorWatch() {
    if (active_) {
      zarSetErrorCallBack(prev_);
      zarSetMode(mode_);
    }
  }
  bool active() const { return active_; }

 private:
  uint32_t mode_;
  bool active_;
  ZarCallBack prev_ = nullptr;
};

// An empty handle: py::array's default constructor would allocate a numpy array.
py::array no_array() { return py::reinterpret_steal<py::array>(py::handle()); }

// A caller array reduced to a base pointer and a stride in elements.
struct Flat {
  py::array arr = no_array();  // what the kernel reads or writes
  py::object target;           // the caller's output when arr is a temporary copy
  char* ptr = nullptr;
  int64_t inc = 1;
};

// Element step when the array's elements lie at equal distances in logical order.
std::optional<int64_t> flat_step(const py::array& a) {
  const auto item = a.itemsize();
  int64_t step = 1;
  bool have = false;
  py::ssize_t span = 0;  // expected stride of the next outer dimension, in bytes
  for (py::ssize_t k = a.ndim() - 1; k >= 0; --k) {
    if (a.shape(k) == 1) continue;
    const auto s = a.strides(k);
    if (!have) {
      if (s % item != 0) return std::nullopt;
      step = s / item;
      have = true;
    } else if (s != span) {
      return std::nullopt;
    }
    span = s * a.shape(k);
  }
  if (step < 0 || step > INT32_MAX) return std::nullopt;  // the strided kernels take int32 steps >= 0
  return step;
}

py::module_& numpy() {
  static auto* np = new py::module_(py::module_::import("numpy"));  // kept past interpreter exit
  return *np;
}

Flat flat_input(py::array a) {
  Flat f;
  if (auto s = flat_step(a)) {
    f.inc = *s;
  } else {
    a = numpy().attr("ascontiguousarray")(a);
  }
  f.ptr = static_cast<char*>(const_cast<void*>(a.data()));
  f.arr = a;
  return f;
}

Flat flat_output(py::array a) {
  Flat f;
  if (auto s = flat_step(a)) {
    f.inc = *s;
  } else {
    f.target = a;
    a = py::array(a.dtype(), std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim()));
  }
  f.ptr = static_cast<char*>(a.mutable_data());
  f.arr = a;
  return f;
}

struct Scalar {
  double re = 0, im = 0;
};
template <class T> T as_elem(const Scalar& s) {
  if constexpr (std::is_same_v<T, NrxComplex8>) return T{float(s.re), float(s.im)};
  else if constexpr (std::is_same_v<T, NrxComplex16>) return T{s.re, s.im};
  else return T(s.re);
}

// One chunk of at most 2^31 - 1 elements through the public name `fn`.
template <class T, class R>
void invoke(Shape shape, void* fn, bool strided, int32_t n, char* const* p, const int64_t* inc, const Scalar* sc) {
  auto a = reinterpret_cast<const T*>(p[0]);
  const auto i = [&](int k) { return static_cast<int32_t>(inc[k]); };
  switch (shape) {
    case Shape::v1:
    case Shape::c2r:
    case Shape::r2c: {
      auto r = reinterpret_cast<R*>(p[1]);
      if (strided) reinterpret_cast<void (*)(int32_t, const T*, int32_t, R*, int32_t)>(fn)(n, a, i(0), r, i(1));
      else reinterpret_cast<void (*)(int32_t, const T*, R*)>(fn)(n, a, r);
      break;
    }
    case Shape::v2: {
      auto b = reinterpret_cast<const T*>(p[1]);
      auto r = reinterpret_cast<R*>(p[2]);
      if (strided)
        reinterpret_cast<void (*)(int32_t, const T*, int32_t, const T*, int32_t, R*, int32_t)>(fn)(n, a, i(0), b, i(1),
                                                                                                   r, i(2));
      else reinterpret_cast<void (*)(int32_t, const T*, const T*, R*)>(fn)(n, a, b, r);
      break;
    }
    case Shape::vs: {
      auto r = reinterpret_cast<R*>(p[1]);
      const T b = as_elem<T>(sc[0]);
      if (strided) reinterpret_cast<void (*)(int32_t, const T*, int32_t, T, R*, int32_t)>(fn)(n, a, i(0), b, r, i(1));
      else reinterpret_cast<void (*)(int32_t, const T*, T, R*)>(fn)(n, a, b, r);
      break;
    }
    case Shape::v1r2: {
      auto r1 = reinterpret_cast<R*>(p[1]);
      auto r2 = reinterpret_cast<R*>(p[2]);
      if (strided)
        reinterpret_cast<void (*)(int32_t, const T*, int32_t, R*, int32_t, R*, int32_t)>(fn)(n, a, i(0), r1, i(1), r2,
                                                                                             i(2));
      else reinterpret_cast<void (*)(int32_t, const T*, R*, R*)>(fn)(n, a, r1, r2);
      break;
    }
    case Shape::lf: {
      auto b = reinterpret_cast<const T*>(p[1]);
      auto r = reinterpret_cast<R*>(p[2]);
      const T s0 = as_elem<T>(sc[0]), s1 = as_elem<T>(sc[1]), s2 = as_elem<T>(sc[2]), s3 = as_elem<T>(sc[3]);
      if (strided)
        reinterpret_cast<void (*)(int32_t, const T*, int32_t, const T*, int32_t, T, T, T, T, R*, int32_t)>(fn)(
            n, a, i(0), b, i(1), s0, s1, s2, s3, r, i(2));
      else reinterpret_cast<void (*)(int32_t, const T*, const T*, T, T, T, T, R*)>(fn)(n, a, b, s0, s1, s2, s3, r);
      break;
    }
    default: break;
  }
}

void invoke_typed(const cat::Entry& e, void* fn, bool strided, int32_t n, char* const* p, const int64_t* inc,
                  const Scalar* sc) {
  switch (type_index(e.type) * 3 + (e.shape == Shape::c2r ? 1 : e.shape == Shape::r2c ? 2 : 0)) {
    case 0: invoke<float, float>(e.shape, fn, strided, n, p, inc, sc); break;
    case 3: invoke<double, double>(e.shape, fn, strided, n, p, inc, sc); break;
    case 6: invoke<NrxComplex8, NrxComplex8>(e.shape, fn, strided, n, p, inc, sc); break;
    case 7: invoke<NrxComplex8, float>(e.shape, fn, strided, n, p, inc, sc); break;
    case 8: invoke<float, NrxComplex8>(e.shape, fn, strided, n, p, inc, sc); break;
    case 9: invoke<NrxComplex16, NrxComplex16>(e.shape, fn, strided, n, p, inc, sc); break;
    case 10: invoke<NrxComplex16, double>(e.shape, fn, strided, n, p, inc, sc); break;
    case 11: invoke<double, NrxComplex16>(e.shape, fn, strided, n, p, inc, sc); break;
    default: break;
  }
}

// Below this many elements the GIL stays held: releasing it costs more than the kernel.
constexpr int64_t gil_threshold = 4096;

int accuracy_slot(const py::object& acc) {
  if (acc.is_none()) {
    uint32_t a = zarGetMode() & ZAR_ACCURACY_MASK;
    return a >= 1 && a <= 3 ? int(a) - 1 : 1;
  }
  if (!py::isinstance<py::str>(acc)) throw py::type_error("accuracy must be 'ha', 'la', 'ep' or None");
  const char* const names[3] = {"la", "ha", "ep"};
  for (int k = 0; k < 3; ++k)
    if (PyUnicode_CompareWithASCIIString(acc.ptr(), names[k]) == 0) return k;
  const std::string s = acc.cast<std::string>();
  throw py::value_error("accuracy must be 'ha', 'la' or 'ep', not '" + s + "'");
}

// Type index of an array of exactly one of the four element types, else -1.
int exact_type(const py::array& a) {
  const char k = a.dtype().kind();
  const auto size = a.itemsize();
  if (k == 'f') return size == 4 ? 0 : size == 8 ? 1 : -1;
  if (k == 'c') return size == 8 ? 2 : size == 16 ? 3 : -1;
  return -1;
}

// Element type of one argument: 0..3, or -1 for a type the functions do not take.
int arg_type(const py::array& a) {
  const char k = a.dtype().kind();
  const auto size = a.itemsize();
  if (k == 'f') return size == 4 ? 0 : size == 8 ? 1 : -1;
  if (k == 'c') return size == 8 ? 2 : size == 16 ? 3 : -1;
  if (k == 'b' || k == 'i' || k == 'u') return 1;
  return -1;
}

bool is_python_number(const py::handle& h) {
  return PyFloat_Check(h.ptr()) || PyLong_Check(h.ptr()) || PyComplex_Check(h.ptr());
}

class Function {
 public:
  explicit Function(std::string name) : name_(std::move(name)) {}
  void add(const cat::Entry* e) {
    auto& slot = e->strided ? strided_[input_type(*e)] : unit_[input_type(*e)];
    slot = e;
    if (!first_) first_ = e;
  }
  const std::string& name() const { return name_; }
  Shape shape() const { return first_->shape; }
  std::string types() const {
    std::string t;
    for (int k = 0; k < 4; ++k)
      if (unit_[k]) t += unit_[k]->type;
    return t;
  }
  py::dict entries() const {
    py::dict d;
    for (int k = 0; k < 4; ++k) {
      if (!unit_[k]) continue;
      py::list names;
      for (auto n : unit_[k]->names) names.append(n);
      d[py::str(std::string(1, unit_[k]->type))] = py::make_tuple(names, shape_name(unit_[k]->shape));
    }
    return d;
  }

  // Positional arguments args[0 .. nargs), then the values of the keywords named in kwnames.
  py::object call(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) const;
  py::object call_slow(py::args args, py::kwargs kw) const;
  py::object fast();
  void move(py::array a, py::object aux, py::array y, int64_t n) const;

 private:
  std::string name_;
  const cat::Entry* unit_[4] = {};
  const cat::Entry* strided_[4] = {};
  const cat::Entry* first_ = nullptr;
  PyMethodDef def_{};
};

py::object Function::call(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) const {
  const Shape shape = first_->shape;
  if (is_pack(shape)) throw py::type_error(name_ + " is reached through the nrx.vm helper of the same name");
  const int nin = arrays_in(shape), nsc = scalars_in(shape), nout = arrays_out(shape);
  if (nargs != nin + nsc)
    throw py::type_error(name_ + " takes " + std::to_string(nin + nsc) + " positional arguments, got " +
                         std::to_string(nargs));
  py::object out = py::none(), acc = py::none();
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* key = PyTuple_GET_ITEM(kwnames, k);
    if (PyUnicode_CompareWithASCIIString(key, "out") == 0) out = py::reinterpret_borrow<py::object>(args[nargs + k]);
    else if (PyUnicode_CompareWithASCIIString(key, "accuracy") == 0)
      acc = py::reinterpret_borrow<py::object>(args[nargs + k]);
    else throw py::type_error(name_ + " got an unexpected keyword argument '" + py::str(key).cast<std::string>() + "'");
  }
  const int slot = accuracy_slot(acc);

  // Common element type: complex if any argument is, double if any array is (Python numbers
  // follow the arrays, as numpy's do).
  py::array in[2] = {no_array(), no_array()};
  bool cplx = false, dbl = false, any_array = false, any_double_number = false;
  for (int k = 0; k < nin; ++k) {
    py::handle h(args[k]);
    py::array a = py::isinstance<py::array>(h) ? py::reinterpret_borrow<py::array>(h) : py::array::ensure(h);
    if (!a) throw py::type_error(name_ + ": argument " + std::to_string(k + 1) + " is not array-like");
    const int t = arg_type(a);
    if (t < 0) throw py::type_error(name_ + ": unsupported dtype " + py::str(a.dtype()).cast<std::string>());
    cplx |= is_complex(t);
    if (is_python_number(h)) any_double_number = true;
    else any_array = true, dbl |= (t % 2 == 1);
    in[k] = std::move(a);
  }
  Scalar sc[4];
  for (int k = 0; k < nsc; ++k) {
    py::handle h(args[nin + k]);
    if (PyComplex_Check(h.ptr())) {
      auto c = h.cast<std::complex<double>>();
      sc[k] = {c.real(), c.imag()};
      cplx |= c.imag() != 0 || shape == Shape::vs;
    } else if (py::isinstance<py::array>(h) || PyNumber_Check(h.ptr())) {
      py::array a = py::array::ensure(h);
      if (!a || a.size() != 1)
        throw py::type_error(name_ + ": argument " + std::to_string(nin + k + 1) + " must be a number");
      if (a.dtype().kind() == 'c') {
        auto c = numpy().attr("complex128")(a.attr("reshape")(py::tuple()));
        auto v = c.cast<std::complex<double>>();
        sc[k] = {v.real(), v.imag()};
        cplx = true;
      } else {
        sc[k] = {a.attr("reshape")(py::tuple()).attr("item")().cast<double>(), 0};
      }
    } else {
      throw py::type_error(name_ + ": argument " + std::to_string(nin + k + 1) + " must be a number");
    }
  }
  if (!any_array) dbl = dbl || any_double_number;
  int t = (cplx ? 2 : 0) + (dbl ? 1 : 0);
  const cat::Entry* e = unit_[t];
  if (!e) throw py::type_error(name_ + " has no " + dtype_names[t] + " version (types: " + types() + ")");
  const cat::Entry* es = strided_[t];

  // Arguments in the function's element type, broadcast together.
  const int tin = input_type(*e);
  for (int k = 0; k < nin; ++k)
    if (auto& a = in[k]; exact_type(a) != tin) a = numpy().attr("asarray")(a, dtype_of(tin));
  std::vector<py::ssize_t> shp(in[0].shape(), in[0].shape() + in[0].ndim());
  if (nin == 2) {
    std::vector<py::ssize_t> s1(in[1].shape(), in[1].shape() + in[1].ndim());
    if (s1 != shp) {
      py::tuple b = numpy().attr("broadcast_arrays")(in[0], in[1]);
      in[0] = b[0].cast<py::array>();
      in[1] = b[1].cast<py::array>();
      shp.assign(in[0].shape(), in[0].shape() + in[0].ndim());
    }
  }
  const int tout = result_type(*e);
  const py::dtype& rdt = dtype_of(tout);

  // Result arrays: the caller's (exact dtype and shape) or new ones.
  py::array res[2] = {no_array(), no_array()};
  if (out.is_none()) {
    for (int k = 0; k < nout; ++k) res[k] = py::array(rdt, shp);
  } else {
    py::object given[2];
    if (nout == 1) {
      if (py::isinstance<py::tuple>(out) && py::len(out) == 1) given[0] = out.cast<py::tuple>()[0];
      else given[0] = out;
    } else {
      if (!py::isinstance<py::tuple>(out) || py::len(out) != size_t(nout))
        throw py::type_error(name_ + ": out must be a tuple of " + std::to_string(nout) + " arrays");
      given[0] = out.cast<py::tuple>()[0];
      given[1] = out.cast<py::tuple>()[1];
    }
    for (int k = 0; k < nout; ++k) {
      auto& o = given[k];
      if (!py::isinstance<py::array>(o)) throw py::type_error(name_ + ": out must be a numpy array");
      auto a = o.cast<py::array>();
      if (exact_type(a) != tout)
        throw py::type_error(name_ + ": out has dtype " + py::str(a.dtype()).cast<std::string>() + ", needs " +
                             dtype_names[result_type(*e)]);
      if (size_t(a.ndim()) != shp.size() || !std::equal(shp.begin(), shp.end(), a.shape()))
        throw py::value_error(name_ + ": out has the wrong shape");
      if (!a.writeable()) throw py::value_error(name_ + ": out is read-only");
      res[k] = a;
    }
  }

  const int nptr = nin + nout;
  Flat flats[4];
  for (int k = 0; k < nin; ++k) flats[k] = flat_input(in[k]);
  for (int k = 0; k < nout; ++k) flats[nin + k] = flat_output(res[k]);
  bool unit = true;
  for (int k = 0; k < nptr; ++k) unit &= flats[k].inc == 1;
  void* fn = (unit ? e : es)->fns[slot];

  int64_t n = 1;
  for (auto s : shp) n *= s;
  int64_t inc[4], size[4];
  for (int k = 0; k < nptr; ++k) inc[k] = flats[k].inc, size[k] = flats[k].arr.itemsize();
  {
    ErrorWatch watch;
    std::optional<py::gil_scoped_release> nogil;
    if (n >= gil_threshold) nogil.emplace();
    for (int64_t off = 0; off < n; off += INT32_MAX) {
      const int32_t m = int32_t(std::min<int64_t>(INT32_MAX, n - off));
      char* p[4];
      for (int k = 0; k < nptr; ++k) p[k] = flats[k].ptr + off * inc[k] * size[k];
      first_error.offset = off;
      invoke_typed(*e, fn, !unit, m, p, inc, sc);
    }
    nogil.reset();
    if (watch.active() && first_error.count > 0) {
      py::object errors = py::module_::import("nrx.errors");
      py::object err =
          errors.attr("VMError")(int(svc_vm), first_error.code, status_name(svc_vm, first_error.code),
                                 status_message(svc_vm, first_error.code), name_, first_error.index, first_error.count);
      if (error_policy == 0) {
        // results stay written: the caller's out array holds them even though the call raised
        for (int k = 0; k < nptr; ++k)
          if (flats[k].target) flats[k].target.attr("__setitem__")(py::ellipsis(), flats[k].arr);
        PyErr_SetObject(errors.attr("VMError").ptr(), err.ptr());
        throw py::error_already_set();
      }
      if (PyErr_WarnEx(errors.attr("VMWarning").ptr(), py::str(err).cast<std::string>().c_str(), 1) < 0)
        throw py::error_already_set();
    }
  }
  for (int k = 0; k < nptr; ++k)
    if (flats[k].target) flats[k].target.attr("__setitem__")(py::ellipsis(), flats[k].arr);

  if (!out.is_none()) return out;
  // a call on scalars returns numpy scalars, as numpy's functions do
  auto value = [&](const py::array& a) { return shp.empty() ? a.attr("__getitem__")(py::tuple()) : py::object(a); };
  if (nout == 2) return py::make_tuple(value(res[0]), value(res[1]));
  return value(res[0]);
}

py::object Function::call_slow(py::args args, py::kwargs kw) const {
  std::vector<PyObject*> all;
  for (auto a : args) all.push_back(a.ptr());
  py::list names;
  for (auto item : kw) {
    names.append(item.first);
    all.push_back(item.second.ptr());
  }
  py::tuple kwnames(names);
  return call(all.data(), Py_ssize_t(args.size()), kw.empty() ? nullptr : kwnames.ptr());
}

// The function as a builtin with the vectorcall protocol: pybind11's own dispatch would
// cost more than the kernel at small n.
PyObject* fast_call(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  try {
    auto* f = static_cast<const Function*>(PyCapsule_GetPointer(self, nullptr));
    return f->call(args, PyVectorcall_NARGS(nargs), kwnames).release().ptr();
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (py::builtin_exception& e) {
    e.set_error();
  } catch (std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return nullptr;
}

py::object Function::fast() {
  def_ = {name_.c_str(), reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fast_call)),
          METH_FASTCALL | METH_KEYWORDS, "Vector math function of nrx; see the nrx.vm module text."};
  auto self = py::reinterpret_steal<py::object>(PyCapsule_New(const_cast<Function*>(this), nullptr, nullptr));
  return py::reinterpret_steal<py::object>(PyCFunction_NewEx(&def_, self.ptr(), nullptr));
}

// Pack and unpack: a and y are contiguous arrays of one element type (checked by the
// caller), aux is the stride or a contiguous int32 index or mask array.
void Function::move(py::array a, py::object aux, py::array y, int64_t n) const {
  const int t = arg_type(a);
  const cat::Entry* e = t >= 0 && is_complex(t) == (a.dtype().kind() == 'c') ? unit_[t] : nullptr;
  if (!e || !y.dtype().equal(a.dtype())) throw py::type_error(name_ + ": unsupported dtype");
  if (n < 0 || n > INT32_MAX) throw py::value_error(name_ + ": count outside 0 .. 2^31 - 1");
  void* fn = e->fns[1];
  auto src = a.data();
  auto dst = y.mutable_data();
  const bool by_step = e->shape == Shape::packI || e->shape == Shape::unpackI;
  if (by_step) {
    const auto step = aux.cast<int64_t>();
    if (step < 1 || step > INT32_MAX) throw py::value_error(name_ + ": stride outside 1 .. 2^31 - 1");
    if (e->shape == Shape::packI)
      reinterpret_cast<void (*)(int32_t, const void*, int32_t, void*)>(fn)(int32_t(n), src, int32_t(step), dst);
    else reinterpret_cast<void (*)(int32_t, const void*, void*, int32_t)>(fn)(int32_t(n), src, dst, int32_t(step));
    return;
  }
  auto idx = aux.cast<py::array_t<int32_t, py::array::c_style>>();
  const int32_t* ip = idx.data();
  if (e->shape == Shape::packM || e->shape == Shape::packV)
    reinterpret_cast<void (*)(int32_t, const void*, const int32_t*, void*)>(fn)(int32_t(n), src, ip, dst);
  else reinterpret_cast<void (*)(int32_t, const void*, void*, const int32_t*)>(fn)(int32_t(n), src, dst, ip);
}

}  // namespace

void init_vm(py::module_& m) {
  py::class_<Function>(m, "Function")
      .def_property_readonly("name", &Function::name)
      .def_property_readonly("types", &Function::types)
      .def_property_readonly("shape", [](const Function& f) { return shape_name(f.shape()); })
      .def_property_readonly("entries", &Function::entries)
      .def("__call__", &Function::call_slow)
      .def_property_readonly("fast", [](Function& f) { return f.fast(); })
      .def("_move", &Function::move, py::arg("a"), py::arg("aux"), py::arg("y"), py::arg("n"))
      .def("__repr__", [](const Function& f) { return "<nrx.vm function " + f.name() + " (" + f.types() + ")>"; });

  // Every function of the catalogue, in catalogue order, grouped by name.
  py::list functions;
  std::vector<Function*> made;
  for (size_t k = 0; k < cat::count; ++k) {
    const cat::Entry& e = cat::entries[k];
    Function* f = nullptr;
    for (auto* g : made)
      if (g->name() == e.func) f = g;
    if (!f) {
      auto obj = py::cast(Function(e.func));
      f = obj.cast<Function*>();
      made.push_back(f);
      functions.append(obj);
    }
    f->add(&e);
  }
  m.attr("functions") = functions;

  m.def("get_mode", [] { return zarGetMode(); });
  m.def(
      "set_mode", [](uint32_t mode) { return zarSetMode(mode); }, py::arg("mode"));
  m.def("get_status", [] { return zarGetErrStatus(); });
  m.def("clear_status", [] { return zarClearErrStatus(); });
  m.def("get_errors", [] { return error_policy; });
  m.def(
      "set_errors",
      [](int p) {
        if (p < 0 || p > 2) throw py::value_error("error policy must be 0, 1 or 2");
        return std::exchange(error_policy, p);
      },
      py::arg("policy"));
}

}  // namespace nrx::py_binding
