#include "jsonMembers.h"

#include <nlohmann/json.hpp>

bool stringMembers(const std::string& text, const std::vector<std::string>& names, std::vector<std::string>& values)
{
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (!document.is_object())
        return false;
    values.clear();
    for (const std::string& name : names) {
        const auto member = document.find(name);
        if (member == document.end() || !member->is_string())
            return false;
        values.push_back(member->get<std::string>());
    }
    return true;
}
