// Locked operations on the shared read-only data table used by the chunk code.
#pragma once
#include "nrx/rng.h"

namespace nrx::rng {

// A new chunk with a non-zero gid: share an existing entry's data of the chunk's size
// (refs + 1) or enter the chunk's data as a new entry; when the table is nearly full, or
// the entry's data has another or unknown size, clear the gid (the data stays private).
void shared_attach(DruChunk* c);
// refs + 1 and c->data = the entry's data; false when gid is absent.
bool shared_share(DruChunk* c, const uint64_t* gid);
// refs - 1, freeing data and entry at zero; false when gid is absent.
bool shared_release(const uint64_t* gid);
// Entries in use.
uint32_t shared_count();

}  // namespace nrx::rng
