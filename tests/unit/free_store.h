// Free-store failure injection for tests: while armed, the n-th allocation through the
// global operator new throws std::bad_alloc, and the allocations still live are counted.
#ifndef VORLA_TEST_FREE_STORE_H
#define VORLA_TEST_FREE_STORE_H

namespace free_store {

// Arms the injection: allocation number fail_at (from 1) throws; 0 lets all succeed.
void arm(long fail_at);
// Disarms it and returns how many allocations made while armed were not released.
long disarm();
// Allocations made while armed so far.
long allocations();

}  // namespace free_store

#endif
