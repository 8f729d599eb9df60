#include "core/Import/NestedSigningScheduler.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "core/Import/BundleWalk.hpp"

namespace fs = std::filesystem;

namespace halyard {

namespace {

constexpr std::size_t mostDefaultJobs = 8;

// The shared state of one run; every member below `lock` is read and changed under it.
class Schedule {
public:
  Schedule(const std::vector<fs::path>& order, const NestedSigningScheduler::Sign& sign)
      : order_(order), sign_(sign), containers_(order.size()), waitingFor_(order.size(), 0),
        started_(order.size(), false), failures_(order.size()), unstarted_(order.size()) {
    for (std::size_t inner = 0; inner < order.size(); ++inner) {
      for (std::size_t outer = 0; outer < order.size(); ++outer) {
        if (!BundleWalk::isInside(order[inner], order[outer])) continue;
        containers_[inner].push_back(outer);
        ++waitingFor_[outer];
      }
    }
  }

  // One worker: takes the earliest ready item until none is left to start or one has failed.
  void work() {
    std::unique_lock guard(lock_);
    while (true) {
      std::optional<std::size_t> next;
      changed_.wait(guard, [&] {
        if (stopped_ || unstarted_ == 0) return true;
        next = nextReady();
        return next.has_value();
      });
      if (stopped_ || unstarted_ == 0) return;
      started_[*next] = true;
      --unstarted_;
      guard.unlock();
      std::exception_ptr failure;
      try {
        sign_(order_[*next]);
      } catch (...) {
        failure = std::current_exception();
      }
      guard.lock();
      if (failure) {
        failures_[*next] = failure;
        stopped_ = true;
      } else {
        for (std::size_t outer : containers_[*next])
          --waitingFor_[outer];
      }
      changed_.notify_all();
    }
  }

  // The failure of the earliest item in the order, if any; called after every worker is done.
  void rethrowFirstFailure() const {
    for (const auto& failure : failures_)
      if (failure) std::rethrow_exception(failure);
  }

private:
  // The earliest item not yet started whose inner items are all signed. Since the containment
  // has no cycles, one exists while items are left and nothing runs.
  std::optional<std::size_t> nextReady() const {
    for (std::size_t index = 0; index < order_.size(); ++index)
      if (!started_[index] && waitingFor_[index] == 0) return index;
    return std::nullopt;
  }

  const std::vector<fs::path>& order_;
  const NestedSigningScheduler::Sign& sign_;
  std::vector<std::vector<std::size_t>> containers_; // for each item, the items around it

  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::size_t> waitingFor_; // for each item, its inner items not yet signed
  std::vector<bool> started_;
  std::vector<std::exception_ptr> failures_;
  std::size_t unstarted_;
  bool stopped_ = false;
};

} // namespace

std::size_t NestedSigningScheduler::defaultJobs() {
  const std::size_t processors = std::thread::hardware_concurrency();
  return std::clamp<std::size_t>(processors, 1, mostDefaultJobs);
}

void NestedSigningScheduler::run(const std::vector<fs::path>& order, std::size_t jobs,
                                 const Sign& sign) {
  Schedule schedule(order, sign);
  const std::size_t workers =
      std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(order.size(), 1));
  std::vector<std::thread> helpers;
  helpers.reserve(workers - 1);
  for (std::size_t index = 1; index < workers; ++index) {
    try {
      helpers.emplace_back([&schedule] { schedule.work(); });
    } catch (const std::system_error&) {
      break; // no more threads to be had: the ones running (and this one) do the work
    }
  }
  std::exception_ptr own;
  try {
    schedule.work();
  } catch (...) {
    own = std::current_exception();
  }
  for (auto& helper : helpers)
    helper.join();
  if (own) std::rethrow_exception(own);
  schedule.rethrowFirstFailure();
}

} // namespace halyard
