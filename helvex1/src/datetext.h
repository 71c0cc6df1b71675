// The date text of the file readers: "dd/mm/yyyy  hh:mm".
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace helvex1 {

std::string dateText(const std::tm &t);

// Seconds since 1970 as local time (local = true) or UTC, as a date text;
// the empty text when the time cannot be represented.
std::string dateText(int64_t secondsSinceEpoch, bool local);

} // namespace helvex1
