#include "childService.h"

#include <signal.h>

#include <chrono>
#include <stdexcept>

namespace bench {
namespace {

constexpr std::chrono::seconds startLimit{60};

std::vector<std::string> commandLine(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    return words;
}

} // namespace

childService::childService(const std::string& program, const std::vector<std::string>& args)
    : process(commandLine(program, args), {}, std::string())
{
    std::string firstLine;
    if (!process.readLine(firstLine, startLimit))
        throw std::runtime_error("service did not start: " + program); // the child is killed
}

clockid_t childService::cpuClock() const
{
    clockid_t clock;
    if (clock_getcpuclockid(process.processId(), &clock) != 0)
        throw std::runtime_error("no CPU-time clock for the service");
    return clock;
}

childService::~childService()
{
    process.sendSignal(SIGTERM);
    process.finish(startLimit);
}

} // namespace bench
