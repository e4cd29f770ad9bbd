#pragma once

#include <optional>
#include <string>
#include <string_view>

// What the fuzz targets and their seed maker share.
namespace velkfuzz {

// A fresh folder for one fuzzing process, on tmpfs when /dev/shm is there so
// that the history and log writes of every run stay cheap, else under $TMPDIR
// (or /tmp). XDG_DATA_HOME and XDG_STATE_HOME point into it for the object's
// lifetime; the folder and what it holds are removed when the object goes.
// Making one also removes the folders of fuzzing processes that have ended
// (a crashed run leaves its folder). Make it before any other thread runs.
class FuzzHome {
 public:
  FuzzHome();
  ~FuzzHome();
  FuzzHome(const FuzzHome&) = delete;
  FuzzHome& operator=(const FuzzHome&) = delete;

 private:
  std::string root_;
};

// Prints `what` and aborts. A failure of the environment aborts too, rather
// than let a fuzzer go on testing nothing.
[[noreturn]] void fail(const std::string& what);

// Makes `path` hold exactly `bytes` (created, with its folders, when missing).
void writeFile(const std::string& path, std::string_view bytes);

// The whole content of `path`.
std::string readFile(const std::string& path);

// The message of a log line with its escapes undone, read apart from the
// logger and from the test suites' parser so that neither can hide a fault of
// the other. A line is "yyyy-MM-dd HH:mm:ss.SSS LEVEL pid:tid Class.operation
// |message"; in the message backslash, line feed, carriage return and tab
// stand as \\, \n, \r and \t, and a byte that is not UTF-8 as \xNN (two
// upper-case hexadecimal digits). None when the line has no " |" or its
// message a backslash that starts no escape.
std::optional<std::string> messageOf(std::string_view line);

}  // namespace velkfuzz
