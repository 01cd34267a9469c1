// `pkisim ctl`: sends one command to a running service over its control
// channel and prints the JSON reply.
#ifndef PKISIM_CTL_CLIENT_H
#define PKISIM_CTL_CLIENT_H

#include <string>
#include <vector>

#include "bashCompletion.h"

namespace pkisim {

// `args` are the words after "ctl". Returns the exit status: 0 done,
// 1 the service refused the command, 2 bad usage or no service reachable.
int runCtl(const std::vector<std::string>& args);
std::string ctlUsageText();
// What may follow "ctl", for the bash completion script.
completion::level ctlCompletionTable();

} // namespace pkisim

#endif // PKISIM_CTL_CLIENT_H
