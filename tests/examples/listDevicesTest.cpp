// The example programs as a user runs them: built, against pkisim on
// 127.0.0.1:18080, checked by their output and exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "childProcess.h"
#include "serviceFixture.h"

namespace {

using testsupport::childProcess;
using testsupport::childResult;

struct run {
    std::vector<std::string> argv;
    bool serviceUp;
    int status;
    std::vector<std::string> out; // texts the standard output holds
    std::string err;              // a text the standard error holds
};

using listDevices = testsupport::serviceTest;

TEST_F(listDevices, inCAndCppAsAUserRunsThem)
{
    const std::vector<run> runs = {
        {{LIST_DEVICES_C}, true, 0, {"\"SIM-RSA-01\"", "\"SIM-ECC-01\""}, ""},
        {{LIST_DEVICES_C, "SIM-ECC-01"}, true, 0, {"\"devID\":\"SIM-ECC-01\"", "\"label\":"}, ""},
        {{LIST_DEVICES_C, "SIM-NONE"}, true, 1, {}, "errCode 5: {\"error\":"},
        {{LIST_DEVICES_C, "a\"b"}, true, 2, {}, "not a device id"},
        {{LIST_DEVICES_C}, false, 1, {}, "loginAgent failed: cannot connect (cannot connect to 127.0.0.1:18080"},
        {{LIST_DEVICES}, true, 0, {"\"SIM-RSA-01\"", "\"SIM-ECC-01\""}, ""},
        {{LIST_DEVICES}, false, 1, {}, "login failed: cannot connect to 127.0.0.1:18080"},
        {{LONG_TEXT_C}, true, 0, {"sent 20000 bytes, received 2", "(8191 in the text field)"}, ""},
        {{LONG_TEXT_C, "100000"}, true, 0, {"sent 100000 bytes, received 10"}, ""},
        {{LONG_TEXT_C, "8"}, true, 2, {}, "usage: long-text-c"},
        {{LONG_TEXT_C}, false, 1, {}, "loginAgent failed: cannot connect"},
    };
    for (const run& r : runs) {
        std::string commandLine;
        for (const std::string& word : r.argv)
            commandLine += word + " ";
        SCOPED_TRACE(commandLine + (r.serviceUp ? "(service up)" : "(no service)"));
        if (!r.serviceUp)
            sim->stop();
        childProcess child(r.argv, {}, "");
        const childResult result = child.finish(60s);
        EXPECT_EQ(result.status, r.status) << result.err;
        for (const std::string& text : r.out)
            EXPECT_NE(result.out.find(text), std::string::npos) << text << " in " << result.out;
        EXPECT_NE(result.err.find(r.err), std::string::npos) << r.err << " in " << result.err;
        if (!r.serviceUp)
            sim->start();
    }
}

} // namespace
