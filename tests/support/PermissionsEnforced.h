#pragma once

namespace velktest {

// Makes file permission bits bind the calling thread for the lifetime of the
// object, even when it runs as root: CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH
// leave the thread's effective capabilities and come back afterwards (they
// stay permitted meanwhile). Tests run as root, where a chmod alone stops
// nothing. Capabilities belong to a thread, so only operations on this
// thread are affected. Fails the current test when the capabilities cannot be
// changed; does nothing when the thread has none to drop.
class PermissionsEnforced {
 public:
  PermissionsEnforced();
  ~PermissionsEnforced();
  PermissionsEnforced(const PermissionsEnforced&) = delete;
  PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;

 private:
  unsigned effectiveLow_ = 0;  // the effective set's low 32 bits before
  bool changed_ = false;
};

}  // namespace velktest
