// Threading tables and the named threader entry points, on OpenMP.
#include "nrx/core.h"

#include <omp.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

using ItemWorker = void (*)(int64_t, int64_t, int64_t, void*);

int team_size(int64_t requested) {
    if (requested < 1) return 1;
    const int64_t cap = 1 << 16;
    return static_cast<int>(requested < cap ? requested : cap);
}

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot see the hand-offs of the uninstrumented OpenMP runtime, so its
// builds run every loop on threads started and joined around it: count items in static
// blocks over team threads, call(item, thread) each.
constexpr bool kOwnThreads = true;
template <class Call>
void own_threads(int64_t team, int64_t count, Call call) {
    auto block = [&](int64_t t) {
        for (int64_t i = count * t / team; i < count * (t + 1) / team; ++i) call(i, t);
    };
    std::vector<std::thread> threads;
    for (int64_t t = 1; t < team; ++t) threads.emplace_back(block, t);
    block(0);
    for (std::thread& th : threads) th.join();
}
#else
constexpr bool kOwnThreads = false;
template <class Call>
void own_threads(int64_t, int64_t, Call) {}
#endif

// Items are dealt in static blocks over a team of at most nthreads threads;
// the thread index handed to the worker is the OpenMP thread number, so it
// stays below nthreads even when the runtime grants a smaller team.
void omp_for_items(int64_t count, int64_t nthreads, void* ctx, ItemWorker w) {
    if (count <= 0) return;
    const int team = team_size(nthreads);
    if (team == 1 || count == 1) {
        for (int64_t i = 0; i < count; ++i) w(i, 0, 0, ctx);
        return;
    }
    if (kOwnThreads) return own_threads(team, count, [&](int64_t i, int64_t t) { w(i, t, 0, ctx); });
#pragma omp parallel num_threads(team)
    {
        const int64_t t = omp_get_thread_num();
#pragma omp for schedule(static)
        for (int64_t i = 0; i < count; ++i) w(i, t, 0, ctx);
    }
}

// One call per thread index. Written as a loop so that every index is called
// exactly once even if the runtime grants fewer threads than asked for.
void omp_for_threads(int64_t nthreads, void* ctx, ItemWorker w) {
    if (nthreads <= 0) return;
    if (nthreads == 1) {
        w(0, 0, 1, ctx);
        return;
    }
    if (kOwnThreads) return own_threads(team_size(nthreads), nthreads, [&](int64_t t, int64_t) { w(t, 0, nthreads, ctx); });
#pragma omp parallel for num_threads(team_size(nthreads)) schedule(static, 1)
    for (int64_t t = 0; t < nthreads; ++t) w(t, 0, nthreads, ctx);
}

int64_t omp_num_threads() { return omp_get_max_threads(); }

void serial_for_items(int64_t count, int64_t /*nthreads*/, void* ctx, ItemWorker w) {
    for (int64_t i = 0; i < count; ++i) w(i, 0, 0, ctx);
}

void serial_for_threads(int64_t nthreads, void* ctx, ItemWorker w) {
    for (int64_t t = 0; t < nthreads; ++t) w(t, 0, nthreads, ctx);
}

int64_t serial_num_threads() { return 1; }

int64_t threader_get_num_threads_limit() { return omp_get_max_threads(); }

void threader_for(int64_t count, int64_t /*zero*/, void* ctx, ItemWorker w) {
    if (count <= 0) return;
    if (count == 1) {
        w(0, 0, 1, ctx);
        return;
    }
    const int64_t max_team = omp_get_max_threads();
    if (kOwnThreads) return own_threads(max_team, count, [&](int64_t i, int64_t t) { w(i, t, max_team, ctx); });
#pragma omp parallel
    {
        const int64_t t = omp_get_thread_num();
        const int64_t team = omp_get_num_threads();
#pragma omp for schedule(static)
        for (int64_t i = 0; i < count; ++i) w(i, t, team, ctx);
    }
}

struct NamedEntry {
    const char* name;
    void* address;
};

const NamedEntry kThreaderEntries[] = {
    {"nrx_dru_serv_threader_get_num_threads_limit", reinterpret_cast<void*>(&threader_get_num_threads_limit)},
    {"nrx_dru_serv_threader_for", reinterpret_cast<void*>(&threader_for)},
};

}  // namespace

const nrx_threading nrx_threading_openmp = {omp_for_items, nullptr, omp_for_threads, nullptr, omp_num_threads};
const nrx_threading nrx_threading_serial = {serial_for_items, nullptr, serial_for_threads, nullptr,
                                            serial_num_threads};

void* nrx_serv_load_thread_fun(const char* name) {
    if (name == nullptr) return nullptr;
    for (const NamedEntry& e : kThreaderEntries)
        if (std::strcmp(e.name, name) == 0) return e.address;
    return nullptr;
}
