#include "estimation/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cfloat>
#include <climits>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/fp_mode.h"
#include "estimation/age_variables.h"
#include "test_util.h"

namespace {

using estimation::OrderedWork;
using estimation::RunOrderedWork;

std::size_t Idx(int i) { return static_cast<std::size_t>(i); }

TEST(ThreadsSetting, UnsetOrEmptyGivesTheCoresAWholeNumberItself) {
  const unsigned hw = std::thread::hardware_concurrency();
  const int cores = hw == 0 ? 1 : static_cast<int>(hw);
  struct Row {
    const char* value;
    int want;
  };
  for (const Row& r : {Row{nullptr, cores}, Row{"", cores}, Row{"1", 1}, Row{"7", 7},
                       Row{"0012", 12}, Row{"2147483647", INT_MAX},
                       Row{"99999999999999999999", INT_MAX}})
    EXPECT_EQ(estimation::ThreadsSetting(r.value), r.want) << (r.value ? r.value : "(unset)");
}

TEST(ThreadsSetting, AnythingElseStopsNamingTheVariableAndValue) {
  for (const char* value : {"0", "000", "-2", "+3", "abc", "4x", " 4", "4 ", "1.5", "2e1", " "}) {
    try {
      estimation::ThreadsSetting(value);
      ADD_FAILURE() << "no stop for \"" << value << "\"";
    } catch (const estimation::StopError& e) {
      EXPECT_EQ(std::string(e.what()),
                "TAVIMORELUND_THREADS=\"" + std::string(value) +
                    "\": the number of threads must be a whole number of at least 1 (unset it "
                    "to use every core)");
    }
  }
}

// The program reads the setting once after its banner: a bad value stops
// it there, before the control file is read or copied.
TEST(ThreadsSetting, BadValueStopsTheProgramAfterTheBannerBeforeAnyFileIsTouched) {
  testutil::ScopedTempDir dir;
  testutil::WriteFile("Tavimorelund.dat",
                      "Run\nout\n2\n2 2\n1 1\n1\n0\n0\n1\n95\nM1\n0\n0\n0\n"
                      "A 1 1 1 2\nB 2 1 1 2\n0.5 0.5\n0\n0\n0\n0\n");
  testutil::WriteFile("AgeSexGtype.dat", "stale\n");
  testutil::ScopedEnv env("TAVIMORELUND_THREADS", "0");
  const testutil::RunResult r = testutil::RunProgram(MAIN_EXE);
  EXPECT_EQ(r.exit_status, 1);
  const std::string stop =
      " StopOnError: TAVIMORELUND_THREADS=\"0\": the number of threads must be a whole number of "
      "at least 1 (unset it to use every core)\n";
  const std::string rule(82, '-');
  EXPECT_EQ(r.out.substr(r.out.find(rule, 2)), rule + "\n\n\n" + stop) << r.out;
  EXPECT_EQ(r.err, "program terminated by StopOnError\n");
  EXPECT_EQ(testutil::ReadFile("AgeSexGtype.dat"), "stale\n");
  EXPECT_FALSE(testutil::FileExists("out.Ne"));
}

// What happened to each item, and on which thread.
struct Trace {
  std::vector<int> prepared;              // items in the order of their Prepare
  std::vector<int> finished;              // n in the order of the Finished calls
  std::vector<int> workedAfterPrepared;   // per item: 1 when Work saw its Prepare done
  std::vector<int> workedBy;              // per item: the worker, -1 when not worked
  std::vector<std::thread::id> workThread;
  std::vector<int> doneAtFinished;        // per n: items worked when Finished(n) ran
};

TEST(RunOrderedWork, PreparesInOrderWorksEachItemOnceAndReportsEveryCount) {
  const std::thread::id caller = std::this_thread::get_id();
  for (const int threads : {1, 2, 7}) {
    for (const int count : {1, 5, 60}) {
      SCOPED_TRACE(std::to_string(threads) + " threads, " + std::to_string(count) + " items");
      Trace tr;
      tr.workedAfterPrepared.assign(Idx(count), 0);
      tr.workedBy.assign(Idx(count), -1);
      tr.workThread.assign(Idx(count), std::thread::id());
      std::vector<int> preparedFlag(Idx(count), 0);
      std::vector<std::atomic<int>> doneFlag(Idx(count));
      OrderedWork w;
      w.Prepare = [&](int i) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        tr.prepared.push_back(i);
        preparedFlag[Idx(i)] = 1;
      };
      w.Work = [&](int i, int worker) {
        tr.workedAfterPrepared[Idx(i)] = preparedFlag[Idx(i)];
        tr.workedBy[Idx(i)] = worker;
        tr.workThread[Idx(i)] = std::this_thread::get_id();
        doneFlag[Idx(i)] = 1;
      };
      w.Finished = [&](int n) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        tr.finished.push_back(n);
        int done = 0;
        for (const std::atomic<int>& f : doneFlag) done += f.load();
        tr.doneAtFinished.push_back(done);
      };
      RunOrderedWork(count, threads, w);

      std::vector<int> inOrder, counts;
      for (int i = 0; i < count; ++i) inOrder.push_back(i);
      for (int n = 1; n <= count; ++n) counts.push_back(n);
      EXPECT_EQ(tr.prepared, inOrder);
      EXPECT_EQ(tr.finished, counts);
      for (int i = 0; i < count; ++i) {
        EXPECT_EQ(tr.workedAfterPrepared[Idx(i)], 1) << "item " << i;
        EXPECT_GE(tr.workedBy[Idx(i)], 0) << "item " << i;
        EXPECT_LT(tr.workedBy[Idx(i)], threads) << "item " << i;
        EXPECT_NE(tr.workThread[Idx(i)], caller) << "item " << i;
        EXPECT_GE(tr.doneAtFinished[Idx(i)], i + 1) << "Finished(" << i + 1 << ") too early";
      }
    }
  }
}

// Restores the calling thread's floating-point mode.
class ScopedFpMode {
 public:
  ScopedFpMode() : saved_(common::CurrentFpMode()) {}
  ~ScopedFpMode() { common::SetFpMode(saved_); }

 private:
  unsigned saved_;
};

// Half of the smallest normal number: subnormal, or 0 under flush-to-zero.
double HalfSmallestNormal() {
  volatile double v = DBL_MIN;
  return v * 0.5;
}

TEST(RunOrderedWork, WorkersComputeInTheCallersFloatingPointMode) {
  ScopedFpMode restore;
  for (const bool flush : {true, false}) {
    common::SetFpMode(flush ? (common::CurrentFpMode() | 0x8040u)
                            : (common::CurrentFpMode() & ~0x8040u));
    const double here = HalfSmallestNormal();
    EXPECT_EQ(here == 0.0, flush);
    std::vector<double> got(20, -1.0);
    OrderedWork w;
    w.Prepare = [](int) {};
    w.Work = [&](int i, int) { got[Idx(i)] = HalfSmallestNormal(); };
    w.Finished = [](int) {};
    RunOrderedWork(20, 7, w);
    for (double g : got) EXPECT_EQ(g, here) << (flush ? "flush-to-zero" : "subnormals kept");
  }
}

// An exception in any step comes back to the caller after every worker has
// ended (a lost one, or one left on a worker, would end the process).
TEST(RunOrderedWork, AnExceptionOfAnyStepIsRethrownOnTheCaller) {
  enum class Step { kPrepare, kWork, kFinished };
  for (const Step step : {Step::kPrepare, Step::kWork, Step::kFinished}) {
    for (const int threads : {1, 2, 7}) {
      SCOPED_TRACE(std::to_string(static_cast<int>(step)) + " with " + std::to_string(threads) +
                   " threads");
      int lastPrepared = -1;
      OrderedWork w;
      w.Prepare = [&](int i) {
        lastPrepared = i;
        if (step == Step::kPrepare && i == 4) throw std::runtime_error("prepare 4");
      };
      w.Work = [&](int i, int) {
        if (step == Step::kWork && i == 4) throw std::bad_alloc();
      };
      w.Finished = [&](int n) {
        if (step == Step::kFinished && n == 5) throw std::runtime_error("finished 5");
      };
      if (step == Step::kWork) {
        EXPECT_THROW(RunOrderedWork(200, threads, w), std::bad_alloc);
      } else {
        EXPECT_THROW(RunOrderedWork(200, threads, w), std::runtime_error);
      }
      if (step == Step::kPrepare) {
        EXPECT_EQ(lastPrepared, 4) << "nothing is prepared after the failure";
      }
    }
  }
}

}  // namespace
