// Peak heap of one piece of work, for the benchmarks. Linking HeapCounter.cpp replaces the
// process's malloc family with counting wrappers around glibc's own entry points, so every
// allocation is seen, the peer libraries' included. Counting is on only inside
// MeasurePeakHeap, so timed runs pay almost nothing for it.
#pragma once

#include <functional>

namespace mq::bench {

// The most heap `work` held at any moment beyond what was live before it, in bytes.
// Everything `work` allocates should be freed before it returns.
long long MeasurePeakHeap(const std::function<void()>& work);

}  // namespace mq::bench
