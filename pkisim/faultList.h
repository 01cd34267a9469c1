// Injected faults, waiting for the calls they apply to.
#ifndef PKISIM_FAULT_LIST_H
#define PKISIM_FAULT_LIST_H

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "simTypes.h"

namespace pkisim {

// Names of the fault kinds as the control channel spells them ("delay",
// "missing-result", ...).
const char* faultKindName(fault::kind what);
std::optional<fault::kind> faultKindFromName(const std::string& name);
// Every kind's name, in the order of the kinds.
std::vector<std::string> faultKindNames();

class faultList {
public:
    // Throws std::invalid_argument for a fault that could never take effect
    // (count 0, an HTTP status outside 200-599, a negative delay or pace).
    void add(const fault& f);
    void clear();
    // The first fault, in the order of injection, that applies to this call;
    // one use of it is consumed. A fault with a negative count stays until cleared.
    std::optional<fault> take(const std::string& wireName);
    std::vector<fault> pending() const;

private:
    mutable std::mutex lock;
    std::deque<fault> faults;
};

} // namespace pkisim

#endif // PKISIM_FAULT_LIST_H
