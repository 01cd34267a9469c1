// Building JSON texts by hand, for texts whose exact form matters.
#ifndef TESSERA_JSON_TEXT_H
#define TESSERA_JSON_TEXT_H

#include <string>

namespace vant {

// `value` as a JSON string literal, quotes included. Escapes the quote, the
// backslash and control characters; every other byte passes unchanged, so a
// value without those characters appears exactly as given.
std::string jsonQuote(const std::string& value);

} // namespace vant

#endif // TESSERA_JSON_TEXT_H
