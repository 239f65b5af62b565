#pragma once

// Text for the run's report page: numbers as a German reader writes them,
// with the decimal comma and a dot between thousands ("12.345,67").

#include <cstddef>
#include <string>
#include <string_view>

#include "report/MarkupText.h"

namespace quendra {

// A count with a dot between thousands: 1234567 gives "1.234.567".
std::string germanCount(std::size_t count);

// `value` rounded to `decimals` places with the decimal comma and thousands dots; a negative
// zero is written 0, what is not a finite number as "–".
std::string germanNumber(double value, int decimals);

// A path as a relative URL: every byte outside the unreserved set and "/" percent-encoded, so
// that names with spaces, "#", "?" or umlauts link to the file they name.
std::string urlPath(std::string_view path);

}  // namespace quendra
