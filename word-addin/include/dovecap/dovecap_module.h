// What the module counts: the add-in objects alive and the locks on its class factory, which DllCanUnloadNow asks.
#pragma once

#include <mutex>

#include "win/dispatch_object.h"

// A member of every add-in object: counts it alive for the module.
class DovecapObjectCount {
 public:
  DovecapObjectCount();
  ~DovecapObjectCount();
  DovecapObjectCount(const DovecapObjectCount&) = delete;
  DovecapObjectCount& operator=(const DovecapObjectCount&) = delete;
};

class ComFactoryHolder {
 public:
  // The factory, made on first use.
  kq::ClassFactory* Get();
  LONG Locks();

 private:
  std::mutex mutex_;
  kq::ComPtr<kq::ClassFactory> factory_;
};
