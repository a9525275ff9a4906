#include "estimation/worker_pool.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/fp_mode.h"
#include "estimation/age_variables.h"

namespace estimation {
namespace {

// What the calling thread and the workers share, guarded by m.
struct Shared {
  std::mutex m;
  std::condition_variable itemReady;  // prepared grew, or stop
  std::condition_variable itemDone;   // done grew, or stop
  int prepared = 0;  // items whose Prepare has returned
  int claimed = 0;   // items handed to a worker
  int done = 0;      // items worked
  bool stop = false;
  std::exception_ptr error;  // the first exception of any thread

  void Fail(std::exception_ptr e) {
    {
      std::lock_guard<std::mutex> lock(m);
      if (!error) error = e;
      stop = true;
    }
    itemReady.notify_all();
    itemDone.notify_all();
  }
};

void WorkerLoop(Shared& s, const OrderedWork& w, int count, int worker, unsigned fpMode) {
  common::SetFpMode(fpMode);
  try {
    for (;;) {
      int item = 0;
      {
        std::unique_lock<std::mutex> lock(s.m);
        s.itemReady.wait(lock,
                         [&] { return s.stop || s.claimed < s.prepared || s.claimed == count; });
        if (s.stop || s.claimed == count) return;
        item = s.claimed++;
      }
      w.Work(item, worker);
      {
        std::lock_guard<std::mutex> lock(s.m);
        ++s.done;
      }
      s.itemDone.notify_one();
    }
  } catch (...) {
    s.Fail(std::current_exception());
  }
}

void RunOnCallingThread(int count, const OrderedWork& w) {
  for (int item = 0; item < count; ++item) {
    w.Prepare(item);
    w.Work(item, 0);
    w.Finished(item + 1);
  }
}

// Prepares every item, then waits for the workers, reporting progress on
// the way; returns early once a thread has failed.
void Drive(Shared& s, int count, const OrderedWork& w) {
  int reported = 0;
  const auto report = [&](int upTo) {
    while (reported < upTo) w.Finished(++reported);
  };
  for (int item = 0; item < count; ++item) {
    w.Prepare(item);
    int done = 0;
    {
      std::lock_guard<std::mutex> lock(s.m);
      if (s.stop) return;
      s.prepared = item + 1;
      done = s.done;
    }
    // After the last item every idle worker must wake to see that none is left.
    if (item + 1 < count)
      s.itemReady.notify_one();
    else
      s.itemReady.notify_all();
    report(done);
  }
  while (reported < count) {
    int done = 0;
    {
      std::unique_lock<std::mutex> lock(s.m);
      s.itemDone.wait(lock, [&] { return s.stop || s.done > reported; });
      if (s.stop) return;
      done = s.done;
    }
    report(done);
  }
}

}  // namespace

int ThreadsSetting(const char* value) {
  if (value == nullptr || *value == '\0') {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min(cores, static_cast<unsigned>(INT_MAX)));
  }
  const std::string text(value);
  bool whole = true;
  int n = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      whole = false;
      break;
    }
    const int d = c - '0';
    n = n > (INT_MAX - d) / 10 ? INT_MAX : 10 * n + d;  // more than anyone can use: the most
  }
  if (!whole || n < 1)
    throw StopError(std::string(kThreadsVariable) + "=\"" + text +
                    "\": the number of threads must be a whole number of at least 1 (unset it "
                    "to use every core)");
  return n;
}

void RunOrderedWork(int count, int threads, const OrderedWork& work) {
  if (count <= 0) return;
  Shared s;
  const unsigned fpMode = common::CurrentFpMode();
  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(threads > 0 ? threads : 0));
  for (int i = 0; i < threads; ++i) {
    try {
      pool.emplace_back(WorkerLoop, std::ref(s), std::cref(work), count, i, fpMode);
    } catch (...) {
      break;  // the system gives no more threads: work with those it gave
    }
  }
  if (pool.empty()) {
    RunOnCallingThread(count, work);
    return;
  }
  try {
    Drive(s, count, work);
  } catch (...) {
    s.Fail(std::current_exception());
  }
  for (std::thread& t : pool) t.join();
  if (s.error) std::rethrow_exception(s.error);
}

}  // namespace estimation
