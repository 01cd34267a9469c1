#include "serviceCall.h"

#include <exception>

namespace vant {

namespace {

std::string failureInFlight()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unexpected failure";
    }
}

} // namespace

void logExchange(const rpcStack& stack, const char* service, std::chrono::steady_clock::time_point start, bool failed)
{
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const rpcStack::exchangeSize size = stack.lastExchange();
    const std::string outcome =
        failed ? "failed: " + failureInFlight() : "errCode " + std::to_string(stack.response.errCode);
    logLine("%s:%s sent %llu B, received %llu B, %.2f ms: %s", service, stack.methodInFlight().c_str(),
            static_cast<unsigned long long>(size.sent), static_cast<unsigned long long>(size.received), ms,
            outcome.c_str());
}

} // namespace vant
