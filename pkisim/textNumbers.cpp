#include "textNumbers.h"

#include <stdexcept>

namespace pkisim {

int64_t parseInteger(const std::string& text)
{
    size_t used = 0;
    int64_t value = 0;
    try {
        value = std::stoll(text, &used, 0);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size())
        throw std::invalid_argument("not a number: " + text);
    return value;
}

int64_t parseInteger(const std::string& text, int64_t low, int64_t high)
{
    const int64_t value = parseInteger(text);
    if (value < low || value > high)
        throw std::invalid_argument(text + " is outside " + std::to_string(low) + "-" + std::to_string(high));
    return value;
}

} // namespace pkisim
