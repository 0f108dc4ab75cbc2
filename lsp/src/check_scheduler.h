// When the language server checks its documents for stale blocks: on a thread
// of its own, a short while after a document's last change, so that typing
// never waits for a check and a burst of changes costs one check.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace quillmark::lsp {

class CheckScheduler {
 public:
  // `check` runs on the scheduler's thread, one document at a time; it must
  // not throw.
  using Check = std::function<void(const std::string& uri)>;
  CheckScheduler(std::chrono::milliseconds delay, Check check);
  // Waits for a check under way; the ones not yet due are dropped.
  ~CheckScheduler();
  CheckScheduler(const CheckScheduler&) = delete;
  CheckScheduler& operator=(const CheckScheduler&) = delete;

  // The document changed: its check is due `delay` from now (again, when one
  // was due already). The thread starts with the first change.
  void Changed(const std::string& uri);
  // The document was closed: no check is due for it.
  void Forget(const std::string& uri);

 private:
  void Run();

  const std::chrono::milliseconds delay_;
  const Check check_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, std::chrono::steady_clock::time_point> due_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace quillmark::lsp
