// Runs the independent part of a series of work items on several threads
// while the calling thread keeps the serial parts: the preparation of each
// item in item order, and the reporting of progress.
#pragma once

#include <functional>

namespace estimation {

// The environment variable that sets the number of threads of the search.
inline constexpr const char* kThreadsVariable = "TAVIMORELUND_THREADS";

// Number of threads for a value of that variable: unset (nullptr) or empty
// gives the machine's hardware concurrency (at least 1), a whole number of
// at least 1 gives itself; anything else is a StopError naming the variable
// and the value.
int ThreadsSetting(const char* value);

struct OrderedWork {
  // On the calling thread, for items 0, 1, ..., count - 1 in this order.
  std::function<void(int item)> Prepare;
  // On worker `worker` (0 .. threads - 1), after Prepare(item) has
  // returned; each worker works one item at a time.
  std::function<void(int item, int worker)> Work;
  // On the calling thread, for n = 1, 2, ..., count in this order, once n
  // items have been worked.
  std::function<void(int n)> Finished;
};

// Runs count items on `threads` worker threads, each started in the calling
// thread's floating-point mode. The first exception of any step stops the
// handing out of items; once every worker has ended it is rethrown on the
// calling thread. When no thread can be started the calling thread works
// the items itself, one after the other.
void RunOrderedWork(int count, int threads, const OrderedWork& work);

}  // namespace estimation
