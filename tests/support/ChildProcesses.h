#pragma once

#include <functional>

namespace velktest {

// Forks `count` child processes that run `work(index)` at the same moment
// (each waits until all are forked) and waits for them all. A child ends with
// _exit(0) when its work returned true, _exit(1) otherwise, so it never runs
// the parent's test machinery. Returns true when every child ended with 0;
// a failed fork fails the current test.
bool runInChildren(int count, const std::function<bool(int index)>& work);

}  // namespace velktest
