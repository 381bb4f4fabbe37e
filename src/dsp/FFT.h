// Windowed radix-2 FFT of a complex record held in two arrays of doubles.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace myrl {

// The circle constant as the transform and its windows use it.
constexpr double kPi = 3.14159265358979;

// Window weight of input index i of an m-value record for `mode` ("Hamming",
// "Hanning", "Blackman", "Hcos", "Gabor4"); 1 for any other text.
double WindowWeight(std::string_view mode, int32_t i, int32_t m);

// Transforms the first `m` values of (re, im), windowed by `mode` and padded with
// zeros, into `n` bins in natural order, in place. "Inv" gives the inverse transform
// scaled by 1/n; a mode that names no window gives the plain forward transform.
// Returns false, touching nothing, when n is not a power of two, n < m, m < 0, or
// either array holds fewer than n values. The rotation factors of the last size up to 2^16
// and the window weights of the last mode and record length are kept per thread.
bool FFT(std::span<double> re, std::span<double> im, int32_t m, int32_t n, std::string_view mode);

} // namespace myrl
