// The reference reading of the service's JSON answers for the parser fuzz
// targets: an object whose named members are all strings.
#ifndef TESSERA_FUZZ_JSON_MEMBERS_H
#define TESSERA_FUZZ_JSON_MEMBERS_H

#include <string>
#include <vector>

// The values of the named members, in the order of `names`; false when
// `text` is not a JSON object or a member is missing or not a string.
bool stringMembers(const std::string& text, const std::vector<std::string>& names, std::vector<std::string>& values);

#endif // TESSERA_FUZZ_JSON_MEMBERS_H
