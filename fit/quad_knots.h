// Knots of the quadratic spline of type 1: one inside each interval, given by
// the caller (internal-condition array) or at the interval midpoints.
#pragma once

#include "fit/common.h"

namespace nrx::fit {

template <class T> struct QuadKnots {
  const T* given;  // null: midpoints
  const T* x;      // explicit breakpoints, or null with the uniform grid below
  Grid<T> grid;
  QuadKnots(const DfTask* t, const T* xs)
      : given((t->ic_type & DFK_IC_KNOTS_GIVEN) ? static_cast<const T*>(t->ic) : nullptr), x(xs), grid(t) {}
  T at(int64_t i) const {
    if (given) return given[i];
    return x ? (x[i] + x[i + 1]) / T(2) : (grid.at(i) + grid.at(i + 1)) / T(2);
  }
};

}  // namespace nrx::fit
