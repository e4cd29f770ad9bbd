#pragma once

#include <string>

#include "foundation/DateFormatter.h"

// The language formatter: a date formatter with `pattern` and the locale of
// the user's first preferred language.
foundation::DateFormatter languageFormatter(std::string pattern);
