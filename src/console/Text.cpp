#include "console/Text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace morvit {

std::string DecimalText(int64_t value) {
  // Built from the unsigned magnitude, so that the most negative value is written in full.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string text;
  if (value < 0) text += '-';
  while (n > 0) text += digits[--n];
  return text;
}

namespace {

constexpr int32_t kMaxDecimals = 216;

// 10^j in extended precision: exact up to 10^27, where 5^j still fits the 64-bit significand.
long double PowerOfTen(int j) {
  if (j > 27) return std::pow(10.0L, static_cast<long double>(j));
  long double p = 1.0L;
  for (int i = 0; i < j; ++i) p *= 10.0L;
  return p;
}

}  // namespace

std::string RealText(long double value, int32_t decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > kMaxDecimals) decimals = kMaxDecimals;
  std::string text;
  if (std::signbit(value)) text += '-';
  long double m = std::fabs(value);
  if (std::isnan(m)) return text + "NAN";
  if (std::isinf(m)) return text + "INF";

  // Scale into [1, 16) by powers of ten found from the binary exponent (19728 / 65536 ~ log10 2).
  int k = 0;
  if (m >= 10.0L) {
    for (;;) {
      int e;
      std::frexp(m, &e);  // m = f * 2^e with 0.5 <= f < 1
      int j = ((e - 1) * 19728) >> 16;
      if (j == 0) break;
      m /= PowerOfTen(j);
      k += j;
    }
  }

  // Nineteen digits of m * 10^17, rounded to nearest with ties to even by the x87 unit.
  long double scaled = std::rint(m * 1e17L);
  uint64_t n = static_cast<uint64_t>(static_cast<int64_t>(scaled));
  std::string s(19, '0');
  for (int i = 18; i >= 0; --i) {
    s[static_cast<size_t>(i)] = static_cast<char>('0' + n % 10);
    n /= 10;
  }

  size_t keep = static_cast<size_t>(k) + static_cast<size_t>(decimals) + 2;
  std::string kept;
  if (keep < s.size()) {
    kept = s.substr(0, keep);
    if (s[keep] >= '5') {
      // Half up; the first digit is 0 or 1, so the carry always stops inside the kept digits.
      for (size_t i = kept.size(); i-- > 0;) {
        if (kept[i] == '9') {
          kept[i] = '0';
        } else {
          ++kept[i];
          break;
        }
      }
    }
  } else {
    kept = s + std::string(keep - s.size(), '0');
  }

  size_t fractionStart = kept.size() - static_cast<size_t>(decimals);
  if (kept[0] != '0') text += kept[0];
  text.append(kept, 1, fractionStart - 1);
  if (decimals > 0) {
    text += '.';
    text.append(kept, fractionStart, std::string::npos);
  }
  return text;
}

std::string HexText(uint64_t value) { return Format("%08llX", static_cast<unsigned long long>(value)); }

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

}  // namespace morvit
