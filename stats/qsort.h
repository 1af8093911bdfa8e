// Quicksort and selection of the summary statistics: median-of-three pivot placed at
// l + 1, partition around it, insertion sort below 7 elements, the larger part kept on
// an explicit stack. One body serves a plain array, a strided one and one that carries
// a second array along (through the Access policy).
#pragma once
#include <cstdint>
#include <type_traits>
#include <utility>

namespace nrx::stats {

// Element i of a (possibly strided) array, with an optional companion array that
// follows every exchange.
template <class T, class U = void, bool kStrided = false> struct Access {
  T* a;
  int64_t stride;  // read only when kStrided
  U* b;
  T& operator[](int64_t i) const { return a[kStrided ? i * stride : i]; }
  void swap(int64_t i, int64_t j) const {
    std::swap((*this)[i], (*this)[j]);
    if constexpr (!std::is_void_v<U>) std::swap(b[i], b[j]);
  }
};

// Pivot into l + 1 with a[l] <= a[l+1] <= a[r]; then partition [l+1, r] around it.
// Returns j, the pivot's final place; i ends just past it.
template <class A> int64_t partition(const A& x, int64_t l, int64_t r, int64_t& i_out) {
  const int64_t mid = (l + r) >> 1;
  x.swap(mid, l + 1);
  if (x[l] > x[r]) x.swap(l, r);
  if (x[l + 1] > x[r]) x.swap(l + 1, r);
  if (x[l] > x[l + 1]) x.swap(l, l + 1);
  int64_t i = l + 1, j = r;
  const auto pivot = x[l + 1];
  for (;;) {
    do ++i;
    while (x[i] < pivot);
    do --j;
    while (x[j] > pivot);
    if (j < i) break;
    x.swap(i, j);
  }
  // The pivot (with its companion) goes to j.
  x.swap(l + 1, j);
  i_out = i;
  return j;
}

template <class A> void insertion(const A& x, int64_t l, int64_t r) {
  for (int64_t k = l + 1; k <= r; ++k)
    for (int64_t m = k; m > l && x[m - 1] > x[m]; --m) x.swap(m - 1, m);
}

// Sorts x[0..n) ascending.
template <class A> void quick_sort(const A& x, int64_t n) {
  constexpr int64_t kInsertion = 7;
  int64_t stack[2 * 64];
  int top = 0;
  int64_t l = 0, r = n - 1;
  for (;;) {
    if (r - l < kInsertion) {
      insertion(x, l, r);
      if (top == 0) return;
      r = stack[--top];
      l = stack[--top];
      continue;
    }
    int64_t i;
    const int64_t j = partition(x, l, r, i);
    // Push the larger part, go on with the smaller one.
    if (r - i + 1 >= j - l) {
      stack[top++] = i;
      stack[top++] = r;
      r = j - 1;
    } else {
      stack[top++] = l;
      stack[top++] = j - 1;
      l = i;
    }
  }
}

// Reorders x[lo..hi] so that x[k] holds the value of rank k within it, everything
// before it no greater and everything after no smaller; returns x[k].
template <class A> auto quick_select(const A& x, int64_t lo, int64_t hi, int64_t k) {
  int64_t l = lo, r = hi;
  for (;;) {
    if (r <= l + 1) {
      if (r == l + 1 && x[r] < x[l]) x.swap(l, r);
      return x[k];
    }
    int64_t i;
    const int64_t j = partition(x, l, r, i);
    if (j >= k) r = j - 1;
    if (j <= k) l = i;
  }
}

// Reorders x[l..r] so that each rank of ranks[0..m) (ascending, distinct, inside
// [l, r]) holds its value, with everything between two such ranks between their values:
// one partition serves every rank on both of its sides.
template <class A> void multi_select(const A& x, int64_t l, int64_t r, const int64_t* ranks, int64_t m) {
  while (m > 0) {
    if (r - l < 7) {
      insertion(x, l, r);
      return;
    }
    int64_t i;
    const int64_t j = partition(x, l, r, i);
    int64_t below = 0;  // ranks left of j
    while (below < m && ranks[below] < j) ++below;
    int64_t above = below;  // ranks j .. i-1 already hold their values
    while (above < m && ranks[above] < i) ++above;
    // Recurse into the smaller list of ranks, loop on the other.
    if (below <= m - above) {
      multi_select(x, l, j - 1, ranks, below);
      l = i;
      ranks += above;
      m -= above;
    } else {
      multi_select(x, i, r, ranks + above, m - above);
      r = j - 1;
      m = below;
    }
  }
}

}  // namespace nrx::stats
