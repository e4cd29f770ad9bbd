#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkfuzz {

// Whole-file helpers for the fuzzers. A failure here is the environment's,
// not the code's under test, so it aborts with a message rather than let a
// fuzzer go on testing nothing.

// Makes `path` hold exactly the `size` bytes at `data` (created when missing).
void writeFileOrAbort(const std::string& path, const std::uint8_t* data, std::size_t size);

// The whole content of `path`.
std::string readFileOrAbort(const std::string& path);

// Empties `path`, which must exist.
void truncateFileOrAbort(const std::string& path);

}  // namespace velkfuzz
