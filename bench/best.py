"""The timing rule of the benchmark scripts: the best of several wall-clock calls."""
import time


def best_of(fn, reps):
    """Seconds of the fastest of reps calls of fn, after one warm-up call."""
    fn()
    t = []
    for _ in range(reps):
        t0 = time.perf_counter()
        fn()
        t.append(time.perf_counter() - t0)
    return min(t)
