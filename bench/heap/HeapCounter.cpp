#include "bench/heap/HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
void* __libc_memalign(size_t, size_t);
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long long> g_live{0};
std::atomic<long long> g_peak{0};

inline void Count(void* p) {
  if (!p || !g_counting.load(std::memory_order_relaxed)) return;
  const auto size = static_cast<long long>(malloc_usable_size(p));
  const long long now = g_live.fetch_add(size, std::memory_order_relaxed) + size;
  long long peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

inline void Uncount(void* p) {
  if (p && g_counting.load(std::memory_order_relaxed))
    g_live.fetch_sub(static_cast<long long>(malloc_usable_size(p)), std::memory_order_relaxed);
}

}  // namespace

extern "C" {
void* malloc(size_t n) {
  void* p = __libc_malloc(n);
  Count(p);
  return p;
}
void* calloc(size_t n, size_t m) {
  void* p = __libc_calloc(n, m);
  Count(p);
  return p;
}
void* realloc(void* old, size_t n) {
  Uncount(old);
  void* p = __libc_realloc(old, n);
  if (p)
    Count(p);
  else if (old && n)
    Count(old);  // failed: the old block is still there
  return p;
}
void free(void* p) {
  Uncount(p);
  __libc_free(p);
}
void* memalign(size_t a, size_t n) {
  void* p = __libc_memalign(a, n);
  Count(p);
  return p;
}
void* aligned_alloc(size_t a, size_t n) { return memalign(a, n); }
int posix_memalign(void** out, size_t a, size_t n) {
  void* p = memalign(a, n);
  if (!p) return 12;  // ENOMEM
  *out = p;
  return 0;
}
}

namespace mq::bench {

long long MeasurePeakHeap(const std::function<void()>& work) {
  g_live.store(0);
  g_peak.store(0);
  g_counting.store(true);
  work();
  g_counting.store(false);
  return g_peak.load();
}

}  // namespace mq::bench
