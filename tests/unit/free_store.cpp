#include "free_store.h"

#include <cstdlib>
#include <new>

namespace free_store {
namespace {

bool armed = false;
long fail_at_ = 0;
long count = 0;
// Blocks allocated while armed; kept in malloc'ed storage so the bookkeeping does not recurse.
struct Tracked {
  void* blocks[1 << 16];
  long size = 0;
} * tracked = nullptr;

void remember(void* p) {
  if (tracked && tracked->size < (1 << 16)) tracked->blocks[tracked->size++] = p;
}

bool forget(void* p) {
  if (!tracked) return false;
  for (long k = tracked->size - 1; k >= 0; --k)
    if (tracked->blocks[k] == p) {
      tracked->blocks[k] = tracked->blocks[--tracked->size];
      return true;
    }
  return false;
}

}  // namespace

void arm(long fail_at) {
  if (!tracked) tracked = static_cast<Tracked*>(std::malloc(sizeof(Tracked)));
  tracked->size = 0;
  fail_at_ = fail_at;
  count = 0;
  armed = true;
}

long disarm() {
  armed = false;
  return tracked ? tracked->size : 0;
}

long allocations() { return count; }

}  // namespace free_store

void* operator new(std::size_t size) {
  if (free_store::armed) {
    ++free_store::count;
    if (free_store::count == free_store::fail_at_) throw std::bad_alloc();
  }
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  if (free_store::armed) free_store::remember(p);
  return p;
}

void* operator new[](std::size_t size) { return operator new(size); }

void operator delete(void* p) noexcept {
  if (!p) return;
  free_store::forget(p);
  std::free(p);
}

void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
