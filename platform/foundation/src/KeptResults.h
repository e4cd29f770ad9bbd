#pragma once

#include <array>
#include <cstdint>

namespace foundation {

// Results of a costly function of a 64-bit key, kept for the keys asked
// lately (one per slot of a small table, spread by a multiplicative hash, so
// that keys alike modulo a power of two, such as midnights, do not collide).
// Each is tagged with the generation of the inputs it was worked out from; a
// result of another generation is worked out again. Not thread-safe.
template <typename Result>
class KeptResults {
 public:
  // The result for `key` in `generation` (never 0), from `compute(key)` when
  // not kept.
  template <typename Compute>
  const Result& get(std::int64_t key, std::uint64_t generation, Compute compute) {
    Entry& entry = entries_[(static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15U) >> 56U];
    if (entry.generation != generation || entry.key != key) {
      entry = {generation, key, compute(key)};
    }
    return entry.result;
  }

 private:
  struct Entry {
    std::uint64_t generation = 0;  // 0: none
    std::int64_t key = 0;
    Result result{};
  };
  // Indexed by the top 8 bits of the hash: a reminder run asks for some forty
  // keys (expiry days, recording times, look-ahead dates), which shared 64
  // slots often enough to convert some of them anew on every run.
  std::array<Entry, 256> entries_{};
};

}  // namespace foundation
