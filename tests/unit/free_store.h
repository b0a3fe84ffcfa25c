// Free-store failure injection for tests, over the stand-in host's accounting: while armed,
// the n-th operator new of each call's own code throws std::bad_alloc.
#ifndef VORLA_TEST_FREE_STORE_H
#define VORLA_TEST_FREE_STORE_H

#include "standin.h"

namespace free_store {

// Arms the injection for the calls that follow: allocation fail_at (from 1) of each call
// throws; 0 lets all succeed. Resets the counts.
inline void arm(long fail_at) {
  standin::set_default_free_store_failure(fail_at);
  standin::reset_free_store_totals();
}
// Disarms it and returns how many allocations of the calls since arm() were not released.
inline long disarm() {
  standin::set_default_free_store_failure(0);
  return standin::free_store_totals().live;
}
// Allocations made by the calls since arm().
inline long allocations() { return standin::free_store_totals().allocations; }

}  // namespace free_store

#endif
