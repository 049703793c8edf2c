// Archive and file manager of one instance: serves files and archive items by name.
// For now it only exists on its pool; the item table and archives come with the document store.
#pragma once

class CorePool;

class CoreFsys {
 public:
  explicit CoreFsys(CorePool* pool);  // [control]
  ~CoreFsys();
  CoreFsys(const CoreFsys&) = delete;
  CoreFsys& operator=(const CoreFsys&) = delete;

  CorePool* pool() const { return pool_; }  // [any]

 private:
  CorePool* pool_;
};
