// Locked operations on the shared read-only data table used by the chunk code.
#pragma once
#include "nrx/rng.h"

namespace nrx::rng {

// A new chunk with a non-zero gid: share an existing entry's data (refs + 1) or enter
// the chunk's data as a new entry; when the table is nearly full clear the gid.
void shared_attach(DruChunk* c);
// refs + 1 and c->data = the entry's data; false when gid is absent.
bool shared_share(DruChunk* c, const uint64_t* gid);
// refs - 1, freeing data and entry at zero; false when gid is absent.
bool shared_release(const uint64_t* gid);
// Entries in use.
uint32_t shared_count();

}  // namespace nrx::rng
