// Converts arbitrary text with ChangeWareki(strDate:) and holds the result to
// what the dialog's header promises: "" with exactly a START, an ERROR and an
// END line when the year, month or day positions ("yyyy-MM-dd", counted in
// characters as substring() counts them) do not all hold ASCII digits (a text
// shorter than ten characters among them); otherwise an
// era name, the year, "年", the month, "月", the day and "日" with the month
// and day taken from the text without their leading zero. The log is emptied
// before every run so that each run reads back only its own lines.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"
#include "support/FuzzFiles.h"
#include "support/FuzzHome.h"

namespace {

// Longer texts only repeat what the first ten bytes decide.
constexpr std::size_t kMaxTextSize = 4096;

[[noreturn]] void fail(const char* what, std::string_view text, std::string_view result) {
  std::fprintf(stderr, "change_wareki_fuzzer: %s\ntext: %.*s\nresult: %.*s\n", what,
               static_cast<int>(text.size()), text.data(), static_cast<int>(result.size()),
               result.data());
  std::abort();
}

// The characters of `text` as substring() counts them: each starts at a byte
// that is no UTF-8 continuation byte and takes the continuation bytes after
// it; continuation bytes before the first such byte belong to none.
std::vector<std::string_view> charactersOf(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t start = std::string_view::npos;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool starts = i == text.size() || (static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U;
    if (starts) {
      if (start != std::string_view::npos) {
        characters.push_back(text.substr(start, i - start));
      }
      start = i;
    }
  }
  return characters;
}

bool isDigit(std::string_view character) {
  return character.size() == 1 && character.front() >= '0' && character.front() <= '9';
}

// Whether the first ten characters have ASCII digits where "yyyy-MM-dd" has
// letters.
bool holdsDate(const std::vector<std::string_view>& characters) {
  if (characters.size() < 10) {
    return false;
  }
  constexpr std::array<std::size_t, 8> kDigitPlaces = {0, 1, 2, 3, 5, 6, 8, 9};
  return std::all_of(kDigitPlaces.begin(), kDigitPlaces.end(),
                     [&](std::size_t i) { return isDigit(characters[i]); });
}

std::string withoutLeadingZero(std::string_view tens, std::string_view ones) {
  return tens == "0" ? std::string(ones) : std::string(tens) + std::string(ones);
}

// The number of lines in `log` and whether its second line is an ERROR one.
std::pair<std::size_t, bool> linesOf(const std::string& log) {
  std::size_t count = 0;
  bool secondIsError = false;
  std::size_t start = 0;
  for (std::size_t end = log.find('\n'); end != std::string::npos;
       start = end + 1, end = log.find('\n', start)) {
    if (++count == 2) {
      // "yyyy-MM-dd HH:mm:ss.SSS ERROR ..."
      constexpr std::size_t kTimestampSize = 23;
      secondIsError = std::string_view(log).substr(start + kTimestampSize).starts_with(" ERROR ");
    }
  }
  return {count, secondIsError};
}

velkfuzz::FuzzHome* home = nullptr;
std::shared_ptr<VelkUpdateReminderDialog> dialog;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  static velkfuzz::FuzzHome fuzzHome;
  home = &fuzzHome;
  dialog = std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr);
  // The first conversion creates the log's folder and file.
  dialog->ChangeWareki("2019-05-01");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxTextSize) {
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  velkfuzz::truncateFileOrAbort(home->logFile());
  const std::string result = dialog->ChangeWareki(text);
  const auto [lines, secondIsError] = linesOf(velkfuzz::readFileOrAbort(home->logFile()));

  const std::vector<std::string_view> characters = charactersOf(text);
  if (!holdsDate(characters)) {
    if (!result.empty()) {
      fail("a text that holds no date gives a non-empty result", text, result);
    }
    if (lines != 3 || !secondIsError) {
      fail("a text that holds no date does not log START, ERROR, END", text, result);
    }
    return 0;
  }
  if (lines != 2) {
    fail("a date logs other lines than START and END", text, result);
  }
  const std::string tail = "年" + withoutLeadingZero(characters[5], characters[6]) + "月" +
                           withoutLeadingZero(characters[8], characters[9]) + "日";
  const std::string_view got(result);
  bool eraFound = false;
  for (const std::string_view era : {"明治", "大正", "昭和", "平成", "令和"}) {
    eraFound = eraFound || got.starts_with(era);
  }
  if (!eraFound || !got.ends_with(tail) || got.size() <= tail.size() + 6) {
    fail("a date does not give era, year, month and day", text, result);
  }
  return 0;
}
