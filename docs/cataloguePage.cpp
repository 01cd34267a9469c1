// Prints docs/catalogue.md from the lists of tessera_catalogue.h, so that the
// page cannot drift from them: a test compares the committed page with this
// program's output, and the target update-catalogue-page rewrites it.
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue.h"
#include "tessera.h"

namespace {

struct method {
    const char* name;
    const char* constant; // null when no message type selects the method
    int msgType;
};

struct service {
    PKI_SERVICE id;
    const char* enumerator;
    std::vector<method> methods;
};

#define PAGE_ROUTED(service, name, msgType) {#name, "VPKI_" #service "_" #name, msgType},
#define PAGE_UNROUTED(service, name) {#name, nullptr, 0},

const service services[] = {
    {ENROLLSERVICE, "ENROLLSERVICE", {VPKI_METHODS_ENROLL(PAGE_ROUTED, PAGE_UNROUTED)}},
    {DEVSERVICE, "DEVSERVICE", {VPKI_METHODS_DEV(PAGE_ROUTED, PAGE_UNROUTED)}},
    {SIGNXSERVICE, "SIGNXSERVICE", {VPKI_METHODS_SIGNX(PAGE_ROUTED, PAGE_UNROUTED)}},
    {VMAILSERVICE, "VMAILSERVICE", {VPKI_METHODS_VMAIL(PAGE_ROUTED, PAGE_UNROUTED)}},
};

const char* const generatedNote =
    "<!-- Generated from include/tessera_catalogue.h by docs/cataloguePage.cpp; do not edit.\n"
    "     Regenerate: cmake --build build --target update-catalogue-page -->\n";

const char* const introduction = R"(# Message-type catalogue

A request names its operation by two numbers: the `PKI_SERVICE` given to
`reqSync`/`reqAsync` and the `msgType` of the `vpkiReq`. Message types are numbered
per service. A number that a service's table does not list selects no method:
`reqSync` then answers at once with an empty response (all numbers 0, empty text)
and nothing is sent.

`tessera_catalogue.h`, which `tessera.h` includes, names every message type
`VPKI_<SERVICE>_<method>` after its service and method; use it with the service it
names:

```c
req.msgType = VPKI_DEV_getDevInfo;
reqSync(DEVSERVICE, &req, &resp);
```

The methods below are the service's wire names (as they appear, prefixed with the
multiplexed service name, in `pkisim -v` logs and in `tessera call`). What each
method expects in its JSON body is the service's; pkisim's bodies are described in
[pkisim/BODIES.md](../pkisim/BODIES.md).
)";

void printService(const service& s)
{
    std::printf("\n## `%s` (%d) — `%s`, multiplexed as \"%s\"\n\n", s.enumerator, static_cast<int>(s.id),
                vant::serviceContractName(s.id), vant::serviceWireName(s.id));
    std::printf("| msgType | constant | method |\n|---:|---|---|\n");
    std::string unrouted;
    for (const method& m : s.methods) {
        if (m.constant != nullptr)
            std::printf("| %d | `%s` | `%s` |\n", m.msgType, m.constant, m.name);
        else
            unrouted += std::string(unrouted.empty() ? "" : ", ") + "`" + m.name + "`";
    }
    if (!unrouted.empty())
        std::printf("\nNo message type selects %s (not reachable through `reqSync`/`reqAsync`).\n", unrouted.c_str());
}

#define PAGE_RESULT(name, code, meaning) std::printf("| %d | `VPKI_RESULT_" #name "` | %s |\n", code, meaning);

void printResults()
{
    std::printf("\n## Result codes\n\n"
                "The service's verdict is `vpkiResp.errCode`. The library acts on these codes;\n"
                "every other code is the service's own and reaches the application unchanged.\n\n"
                "| errCode | constant | meaning |\n|---:|---|---|\n");
    VPKI_RESULTS(PAGE_RESULT)
}

#define PAGE_NOTIFICATION(name, msgType, contractName, meaning) \
    std::printf("| 0x%08X | `VPKI_NOTIFY_" #name "` | `" #contractName "` | %s |\n", msgType, meaning);

void printNotifications()
{
    std::printf("\n## Notification types\n\n"
                "The `msgType` of the record that the notification callback receives.\n\n"
                "| msgType | constant | contract name | meaning |\n|---|---|---|---|\n");
    VPKI_NOTIFICATIONS(PAGE_NOTIFICATION)
}

#define PAGE_FAILURE(name, code, text) std::printf("| %d | `" #name "` | %s |\n", code, text);

void printFailures()
{
    std::printf("\n## Failure codes\n\n"
                "Why a call of the library failed: `agentLastError()`, with `agentErrorString()`\n"
                "giving the text below and `agentLastErrorText()` the details of the last failure.\n\n"
                "| code | constant | text |\n|---:|---|---|\n");
    VPKI_ERRORS(PAGE_FAILURE)
}

} // namespace

int main()
{
    std::fputs(generatedNote, stdout);
    std::fputs(introduction, stdout);
    for (const service& s : services)
        printService(s);
    printResults();
    printNotifications();
    printFailures();
    return std::fflush(stdout) == 0 ? 0 : 1;
}
