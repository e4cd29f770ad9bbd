// Converts arbitrary text with ChangeWareki(strDate:) and holds the result to
// what the dialog's header promises: "" with exactly a START, an ERROR and an
// END line when the year, month or day positions ("yyyy-MM-dd", counted in
// characters as substring() counts them) do not all hold ASCII digits (a text
// shorter than ten characters among them); otherwise an era name, the year,
// "年", the month, "月", the day and "日" with the month and day taken from
// the text without their leading zero. The log is emptied before every run so
// that each run reads back only its own lines.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "VelkCommon/VelkLog.h"
#include "VelkUpdateReminder/VelkUpdateReminderDialog.h"

namespace {

// Longer texts only repeat what the first ten characters decide.
constexpr std::size_t kMaxTextSize = 4096;

constexpr std::array<int, 8> kDigitPlaces = {0, 1, 2, 3, 5, 6, 8, 9};
constexpr std::array<std::string_view, 5> kEras = {"明治", "大正", "昭和", "平成", "令和"};

std::string logFile;
std::shared_ptr<VelkUpdateReminderDialog> dialog;

// The characters of `text` as substring() counts them: each starts at a byte
// that is no UTF-8 continuation byte and takes the continuation bytes after
// it; continuation bytes before the first such byte belong to none.
std::vector<std::string> charactersOf(std::string_view text) {
  std::vector<std::string> characters;
  for (const char byte : text) {
    if ((static_cast<unsigned char>(byte) & 0xC0U) != 0x80U) {
      characters.emplace_back(1, byte);
    } else if (!characters.empty()) {
      characters.back() += byte;
    }
  }
  return characters;
}

// Whether the first ten characters have ASCII digits where "yyyy-MM-dd" has
// letters.
bool holdsDate(const std::vector<std::string>& characters) {
  return characters.size() >= 10 &&
         std::all_of(kDigitPlaces.begin(), kDigitPlaces.end(), [&](int i) {
           const std::string& character = characters[i];
           return character.size() == 1 && character[0] >= '0' && character[0] <= '9';
         });
}

// `tens` and `ones` without a leading zero.
std::string number(const std::string& tens, const std::string& ones) {
  return tens == "0" ? ones : tens + ones;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  static const velkfuzz::FuzzHome home;
  logFile = VelkLog::getLogFilePath(LogFilePrefix::VELK_UPDATE_REMINDER);
  dialog = std::make_shared<VelkUpdateReminderDialog>(std::nullopt, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxTextSize) {
    return 0;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  velkfuzz::writeFile(logFile, "");
  const std::string result = dialog->ChangeWareki(text);
  const std::string log = velkfuzz::readFile(logFile);
  const auto check = [&](bool holds, const char* what) {
    if (!holds) {
      velkfuzz::fail("change_wareki_fuzzer: " + std::string(what) + "\ntext: " + text +
                     "\nresult: " + result + "\nlog:\n" + log);
    }
  };
  const auto lines = std::count(log.begin(), log.end(), '\n');
  const std::vector<std::string> characters = charactersOf(text);
  if (!holdsDate(characters)) {
    // The second line is "yyyy-MM-dd HH:mm:ss.SSS ERROR ...".
    const std::size_t second = log.find('\n') + 1;
    check(result.empty() && lines == 3 && log.find(" ERROR ", second) == second + 23,
          "a text that holds no date does not give \"\" and log START, ERROR, END");
    return 0;
  }
  check(lines == 2, "a date logs other lines than START and END");
  const std::string tail = "年" + number(characters[5], characters[6]) + "月" +
                           number(characters[8], characters[9]) + "日";
  check(std::any_of(kEras.begin(), kEras.end(),
                    [&](std::string_view era) { return result.starts_with(era); }) &&
            result.ends_with(tail) && result.size() > tail.size() + 6,
        "a date does not give era, year, month and day");
  return 0;
}
