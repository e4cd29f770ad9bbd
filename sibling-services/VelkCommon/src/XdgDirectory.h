#pragma once

#include <string>
#include <string_view>

// The base folder that the XDG variable `variable` names (e.g. "XDG_DATA_HOME")
// when it is set and not empty; otherwise `fallback` (e.g. ".local/share")
// inside the home folder ($HOME, or the user's entry in the password database
// when HOME is unset or empty). Trailing slashes are removed, a lone "/" stays.
// Reads the environment; creates and checks nothing.
std::string xdgBaseDirectory(const char* variable, std::string_view fallback);
