// Work spread over the processor's cores for start-up jobs (preparing the
// archive, decoding pictures): a fixed set of threads for one job, joined
// before the call returns, so nothing outlives the data it works on.
//
//   ForEachItem(count, CoreCount(), [&](size_t i) { out[i] = Decode(in[i]); });
//
// Work items must not throw: each one keeps its own failure (an
// std::exception_ptr beside its result) and the caller decides, in item
// order, what it means, so a parallel run reports exactly what a run on one
// thread would.
#pragma once

#include <cstddef>
#include <functional>

// The number of cores to use when a caller asks for "every core": the
// processor's count, at least 1.
unsigned CoreCount();

// Calls work(i) for every i below count on up to threads threads, the
// calling thread among them (threads 0 or 1: one after another on the
// calling thread, in order). After each item the calling thread finishes,
// it calls progress with the number of items done so far; progress gets 0
// first and count last. Returns when every item has run.
void ForEachItem(size_t count, unsigned threads, const std::function<void(size_t)>& work,
                 const std::function<void(size_t)>& progress = nullptr);

// Calls work(i) for every i below count on up to threads threads, and
// take(i) on the calling thread for every i in order, each as soon as
// work(i) is done; while item i is not done yet the calling thread works on
// items not started yet instead of waiting. So take can show progress
// while the other threads work. threads 0 or 1: work(i) then take(i), one
// item after another. When take throws, no further item is started, the
// threads are joined and the exception passes on.
void ForEachInOrder(size_t count, unsigned threads, const std::function<void(size_t)>& work,
                    const std::function<void(size_t)>& take);
