// Installs the functions of libhelvex1 in the table of external functions
// (externals.h): what a program that shows windows does first.
#pragma once

namespace ext {

void useHelvex1();

} // namespace ext
