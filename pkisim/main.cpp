// pkisim: the development PKI service, as a program; `pkisim ctl` talks to a
// running one.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cliOptions.h"
#include "ctlClient.h"
#include "readiness.h"
#include "simServer.h"

namespace {

// Blocks the stop signals in every thread, so that the main thread alone takes them.
sigset_t stopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

void announce(const pkisim::server& service)
{
    const std::string control = service.controlPath();
    std::printf("pkisim: listening on 127.0.0.1:%u (requests) and 127.0.0.1:%u (notifications), control %s\n",
                service.port(), service.notifyPort(), control.empty() ? "off" : control.c_str());
    std::fflush(stdout);
}

int serve(const pkisim::commandLine& line)
{
    const sigset_t signals = stopSignals();
    std::signal(SIGPIPE, SIG_IGN); // a reader of our output that went away is no reason to die
    pkisim::server service(line.opts);
    service.start();
    announce(service);
    pkisim::notifyServiceManager("READY=1\nMAINPID=" + std::to_string(getpid()));
    int received = 0;
    sigwait(&signals, &received);
    pkisim::notifyServiceManager("STOPPING=1");
    service.stop();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Not in the help: the build writes the installed completion script with it.
    if (args.size() == 1 && args.front() == "--bash-completion") {
        std::cout << completion::bashScript("pkisim", pkisim::completionTable());
        return 0;
    }
    if (!args.empty() && args.front() == "ctl")
        return pkisim::runCtl(std::vector<std::string>(args.begin() + 1, args.end()));
    try {
        const pkisim::commandLine line = pkisim::parseCommandLine(args);
        if (line.help) {
            std::cout << pkisim::usageText();
            return 0;
        }
        if (line.version) {
            std::cout << "pkisim " << PKISIM_VERSION << "\n";
            return 0;
        }
        return serve(line);
    } catch (const std::invalid_argument& e) {
        std::cerr << "pkisim: " << e.what() << "\n" << pkisim::usageText();
        return 2;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
