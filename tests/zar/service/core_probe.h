// A probe in front of the core library for the white-box tests: this
// executable defines nrx_serv_allocate, nrx_serv_deallocate and nrx_serv_print
// itself, records what the service layer asks for and forwards to the core.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <pthread.h>

namespace probe {

struct PrintCall {
  int32_t dest = 0;
  int32_t id = 0;
  int32_t nargs = 0;
  std::string name;   // 748-754
  int32_t index = 0;  // 748, 755-766
  double value = 0;   // 755-766
};

// Messages printed since the last clear_prints(), in order.
std::vector<PrintCall> prints();
void clear_prints();
// Whether messages also go on to the core library (and so to stderr).
void set_forward_prints(bool forward);

// Thread records (blocks of the record's size) allocated and not yet freed.
int live_records();
// Makes every record allocation fail from now on.
void fail_record_allocations();
// Returns to the core the records still held for `owner`; returns how many.
int release_records_of(pthread_t owner);

}  // namespace probe
