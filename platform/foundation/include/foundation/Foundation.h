#pragma once

#include "foundation/Calendar.h"
#include "foundation/Clock.h"
#include "foundation/Date.h"
#include "foundation/DateComponents.h"
#include "foundation/DateFormatter.h"
#include "foundation/Locale.h"
#include "foundation/Utf8.h"
