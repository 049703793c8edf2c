// Registry through which the instances of one process share prepared kernels. It lives on the
// shared pool; the groups and their lock come with the kernel store.
#pragma once

class CorePool;

class CoreKreg {
 public:
  explicit CoreKreg(CorePool* sharedPool);  // [control]
  ~CoreKreg();
  CoreKreg(const CoreKreg&) = delete;
  CoreKreg& operator=(const CoreKreg&) = delete;

  CorePool* pool() const { return pool_; }  // [any]

 private:
  CorePool* pool_;
};
