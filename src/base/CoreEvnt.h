// Manual-reset event: stays signalled until reset. Used only to wake worker threads.
#pragma once

#include <condition_variable>
#include <mutex>

class CoreEvnt {
 public:
  CoreEvnt() = default;
  CoreEvnt(const CoreEvnt&) = delete;
  CoreEvnt& operator=(const CoreEvnt&) = delete;

  void set();                       // [any]
  void reset();                     // [any]
  bool isSet() const;               // [any]
  void wait();                      // [any] until signalled
  bool waitFor(int milliseconds);   // [any] true when signalled within the time-out

 private:
  mutable std::mutex mutex_;
  std::condition_variable cond_;
  bool signalled_ = false;
};
