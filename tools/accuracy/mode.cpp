#include "tools/accuracy/mode.h"

#include "nrx/zar.h"

namespace nrx::accuracy {

namespace {
constexpr unsigned kDenormalField = 0x3C0000;
constexpr unsigned kFlush = 0x280000;
constexpr unsigned kNoFlush = 0x140000;
}  // namespace

FlushToZero::FlushToZero(bool on) : on_(on), previous_(0) {
  if (on_) previous_ = zarSetMode(kFlush);
}

FlushToZero::~FlushToZero() {
  // An empty field cannot be written back (SetMode keeps a field given as 0); 0x140000 means
  // the same thing, no flushing.
  if (on_) {
    const unsigned field = previous_ & kDenormalField;
    zarSetMode(field ? field : kNoFlush);
  }
}

}  // namespace nrx::accuracy
