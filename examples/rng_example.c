/* Random numbers: a stream saved to memory and to a file, loaded back, and skipped ahead;
 * all three continue the sequence exactly. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "nrx/rng.h"
#include "nrx/status.h"

#define N 8

static int check(int32_t st, const char* what) {
  if (st < 0) {
    const char* name = nrx_status_name(NRX_SERVICE_RNG, st);
    fprintf(stderr, "%s: %s (status %d)\n", what, name ? name : "unnamed", st);
    exit(1);
  }
  return st;
}

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "rng_example.state";
  const uint32_t seed = 2024;
  double head[1000], next[N], from_memory[N], from_file[N], skipped[N];
  DruStream *s = NULL, *m = NULL, *f = NULL, *k = NULL;

  check(_druNewStreamEx(&s, DRU_BRNG_MRG32K3A, 1, &seed), "create");
  check(drudRngUniform(DRU_RNG_UNIFORM_STD, s, 1000, head, 0.0, 1.0), "draw");

  /* Save after 1000 values, in memory and in a file. */
  void* image = malloc((size_t)check(_druGetStreamSize(s), "size"));
  check(_druSaveStreamM(s, image), "save to memory");
  check(_druSaveStreamF(s, path, (int32_t)strlen(path)), "save to file");
  check(drudRngUniform(DRU_RNG_UNIFORM_STD, s, N, next, 0.0, 1.0), "draw");

  check(_druLoadStreamM(&m, image), "load from memory");
  check(drudRngUniform(DRU_RNG_UNIFORM_STD, m, N, from_memory, 0.0, 1.0), "draw");
  check(_druLoadStreamF(&f, (int32_t)strlen(path), path), "load from file");
  check(drudRngUniform(DRU_RNG_UNIFORM_STD, f, N, from_file, 0.0, 1.0), "draw");

  /* A fresh stream with the same seed, skipped past the first 1000 values. */
  check(_druNewStreamEx(&k, DRU_BRNG_MRG32K3A, 1, &seed), "create");
  check(_druSkipAheadStream(k, 1000), "skip ahead");
  check(drudRngUniform(DRU_RNG_UNIFORM_STD, k, N, skipped, 0.0, 1.0), "draw");

  int same = 1;
  for (int i = 0; i < N; ++i) {
    printf("%.17f %.17f %.17f %.17f\n", next[i], from_memory[i], from_file[i], skipped[i]);
    same &= next[i] == from_memory[i] && next[i] == from_file[i] && next[i] == skipped[i];
  }
  _druDeleteStream(&s), _druDeleteStream(&m), _druDeleteStream(&f), _druDeleteStream(&k);
  free(image);
  remove(path);
  printf(same ? "the saved, loaded and skipped streams agree\n" : "MISMATCH\n");
  return same ? 0 : 1;
}
