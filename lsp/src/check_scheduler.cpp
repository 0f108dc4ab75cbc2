#include "check_scheduler.h"

#include <algorithm>

namespace quillmark::lsp {

CheckScheduler::CheckScheduler(std::chrono::milliseconds delay, Check check)
    : delay_(delay), check_(std::move(check)) {}

CheckScheduler::~CheckScheduler() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CheckScheduler::Changed(const std::string& uri) {
  {
    const std::lock_guard lock(mutex_);
    due_[uri] = std::chrono::steady_clock::now() + delay_;
    if (!thread_.joinable()) thread_ = std::thread(&CheckScheduler::Run, this);
  }
  wake_.notify_all();
}

void CheckScheduler::Forget(const std::string& uri) {
  {
    const std::lock_guard lock(mutex_);
    due_.erase(uri);
  }
  wake_.notify_all();
}

void CheckScheduler::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    if (due_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const auto next = std::min_element(
        due_.begin(), due_.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    // A copy: the wait lets go of the lock, and a document closed meanwhile
    // takes its entry with it.
    const std::chrono::steady_clock::time_point due = next->second;
    if (due > std::chrono::steady_clock::now()) {
      wake_.wait_until(lock, due);
      continue;
    }
    const std::string uri = next->first;
    due_.erase(next);
    // A change during the check makes it due again, so the last text is always checked.
    lock.unlock();
    check_(uri);
    lock.lock();
  }
}

}  // namespace quillmark::lsp
