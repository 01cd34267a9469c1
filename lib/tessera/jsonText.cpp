#include "jsonText.h"

#include <cstdio>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace vant {

std::string jsonQuote(const std::string& value)
{
    std::string out;
    out.reserve(value.size() + 2);
    out += '"';
    for (unsigned char c : value) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[7];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
    return out;
}

bool readStringMembers(const std::string& text, std::initializer_list<stringMember> members)
{
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (!document.is_object())
        return false;
    std::vector<std::string> values;
    values.reserve(members.size());
    for (const stringMember& member : members) {
        const nlohmann::json::const_iterator found = document.find(member.name);
        if (found == document.end() || !found->is_string())
            return false;
        values.push_back(found->get<std::string>());
    }
    std::vector<std::string>::iterator value = values.begin();
    for (const stringMember& member : members)
        *member.out = std::move(*value++);
    return true;
}

} // namespace vant
