#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "VelkCommon/VelkCommonExport.h"

// The characters (Unicode code points of UTF-8 text) of `text` from `start`
// up to, not including, `end`, counted from zero. Indices are clamped to the
// text, so a range outside it gives a shorter or empty text; never throws.
VELKCOMMON_EXPORT std::string substring(std::string_view text, std::int64_t start,
                                        std::int64_t end);
