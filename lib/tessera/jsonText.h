// JSON texts whose exact form matters: building them by hand, and reading
// the string members of the service's answers.
#ifndef TESSERA_JSON_TEXT_H
#define TESSERA_JSON_TEXT_H

#include <initializer_list>
#include <string>

namespace vant {

// `value` as a JSON string literal, quotes included. Escapes the quote, the
// backslash and control characters; every other byte passes unchanged, so a
// value without those characters appears exactly as given.
std::string jsonQuote(const std::string& value);

// A member to read and where its value goes.
struct stringMember {
    const char* name;
    std::string* out;
};

// Writes the named string members of the JSON object `text` to their
// outputs, all or none: false, leaving every output untouched, when the text
// is not an object or a member is missing or not a string. Other members
// are ignored.
bool readStringMembers(const std::string& text, std::initializer_list<stringMember> members);

} // namespace vant

#endif // TESSERA_JSON_TEXT_H
