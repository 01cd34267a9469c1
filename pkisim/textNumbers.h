// Numbers given as command-line text.
#ifndef PKISIM_TEXT_NUMBERS_H
#define PKISIM_TEXT_NUMBERS_H

#include <cstdint>
#include <string>

namespace pkisim {

// Decimal, or hexadecimal with 0x; the whole text must be the number.
// Throws std::invalid_argument naming the text.
int64_t parseInteger(const std::string& text);
// As parseInteger, and within [low, high].
int64_t parseInteger(const std::string& text, int64_t low, int64_t high);

} // namespace pkisim

#endif // PKISIM_TEXT_NUMBERS_H
