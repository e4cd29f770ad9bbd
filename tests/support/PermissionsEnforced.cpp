#include "support/PermissionsEnforced.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>

namespace velktest {

namespace {

// Version 3 of the interface takes two sets of 32 capabilities each.
using CapabilitySets = std::array<__user_cap_data_struct, 2>;

constexpr unsigned kOverrides = (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH);

// The raw system call SYS_capget or SYS_capset: the C library offers no
// wrapper without libcap.
bool capabilities(long call, CapabilitySets& data) {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  return ::syscall(call, &header, data.data()) == 0;
}

}  // namespace

PermissionsEnforced::PermissionsEnforced() {
  CapabilitySets data{};
  if (!capabilities(SYS_capget, data)) {
    ADD_FAILURE() << "capget failed";
    return;
  }
  effectiveLow_ = data[0].effective;
  if ((effectiveLow_ & kOverrides) == 0) {
    return;
  }
  data[0].effective &= ~kOverrides;
  if (!capabilities(SYS_capset, data)) {
    ADD_FAILURE() << "capset failed to drop the file permission overrides";
    return;
  }
  changed_ = true;
}

PermissionsEnforced::~PermissionsEnforced() {
  if (!changed_) {
    return;
  }
  CapabilitySets data{};
  if (!capabilities(SYS_capget, data)) {
    ADD_FAILURE() << "capget failed";
    return;
  }
  data[0].effective = effectiveLow_;
  if (!capabilities(SYS_capset, data)) {
    ADD_FAILURE() << "capset failed to restore the file permission overrides";
  }
}

}  // namespace velktest
