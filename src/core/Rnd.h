// Real-to-integer conversions used throughout the program.
#pragma once

#include <cstdint>

namespace myrl {

// The one rounding rule of the program: the nearest integral value, halves to the even
// neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), whatever the floating-point environment's
// rounding mode. NaN and infinities come back as they are.
double RoundHalfEven(double x);

// RoundHalfEven as a 32-bit integer: values beyond the range saturate at its ends; NaN
// gives 0.
int32_t rnd(double x);

// RoundHalfEven as a 64-bit integer, saturating in the same way; NaN gives 0.
int64_t rnd64(double x);

// Greatest integer not above x, and smallest integer not below x, as 32-bit values.
// The integral value is reduced modulo 2^32 into the signed range, as a 32-bit
// register holding the 64-bit result would; NaN gives 0.
int32_t floorInt(double x);
int32_t ceilInt(double x);

// Nearest integer, halves to the even neighbour, reduced modulo 2^32 as floorInt and
// ceilInt are (for the tuning words, which the unit holds in a 32-bit register).
int32_t nearestInt(double x);

} // namespace myrl
