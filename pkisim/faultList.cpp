#include "faultList.h"

#include <stdexcept>
#include <utility>

namespace pkisim {

namespace {

const std::pair<fault::kind, const char*> kindNames[] = {
    {fault::delay, "delay"},
    {fault::exception, "exception"},
    {fault::missingResult, "missing-result"},
    {fault::malformed, "malformed"},
    {fault::httpStatus, "http-status"},
    {fault::dropMidReply, "drop-mid-reply"},
    {fault::silent, "silent"},
    {fault::reply, "reply"},
    {fault::notifyErrCode, "notify-errcode"},
    {fault::refuseLogin, "refuse-login"},
    {fault::rawReply, "raw-reply"},
};

bool nameMatches(const std::string& pattern, const std::string& wireName)
{
    if (pattern == "*" || pattern == wireName)
        return true;
    // "service:*" matches every method of one service.
    const size_t size = pattern.size();
    return size >= 2 && pattern.compare(size - 2, 2, ":*") == 0 &&
           wireName.compare(0, size - 1, pattern, 0, size - 1) == 0;
}

// Faults that shape a method's own answer apply to that method only.
bool kindApplies(fault::kind what, const std::string& wireName)
{
    if (what == fault::notifyErrCode)
        return wireName == "vantService:getNotify";
    if (what == fault::refuseLogin)
        return wireName == "vantService:login";
    return true;
}

} // namespace

const char* faultKindName(fault::kind what)
{
    for (const auto& entry : kindNames)
        if (entry.first == what)
            return entry.second;
    return "unknown";
}

std::vector<std::string> faultKindNames()
{
    std::vector<std::string> names;
    for (const auto& entry : kindNames)
        names.emplace_back(entry.second);
    return names;
}

std::optional<fault::kind> faultKindFromName(const std::string& name)
{
    for (const auto& entry : kindNames)
        if (name == entry.second)
            return entry.first;
    return std::nullopt;
}

void faultList::add(const fault& f)
{
    if (f.count == 0)
        throw std::invalid_argument("fault count 0 would never apply");
    if (f.what == fault::httpStatus && (f.status < 200 || f.status > 599))
        throw std::invalid_argument("HTTP status must lie in 200-599");
    if (f.what == fault::delay && f.delayMs < 0)
        throw std::invalid_argument("delay must not be negative");
    if (f.paceMs < 0)
        throw std::invalid_argument("pace must not be negative");
    std::lock_guard<std::mutex> guard(lock);
    faults.push_back(f);
}

void faultList::clear()
{
    std::lock_guard<std::mutex> guard(lock);
    faults.clear();
}

std::optional<fault> faultList::take(const std::string& wireName)
{
    std::lock_guard<std::mutex> guard(lock);
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        if (!nameMatches(it->method, wireName) || !kindApplies(it->what, wireName))
            continue;
        fault found = *it;
        if (it->count > 0 && --it->count == 0)
            faults.erase(it);
        return found;
    }
    return std::nullopt;
}

std::vector<fault> faultList::pending() const
{
    std::lock_guard<std::mutex> guard(lock);
    return {faults.begin(), faults.end()};
}

} // namespace pkisim
