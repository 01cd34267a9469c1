// What the tessera command concludes and says: a key of the other type
// refused before signing, one line on standard error for every failure (a
// JSON object with --json), the service's own version, and a watch that
// follows the service away and back.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "childProcess.h"
#include "runCommand.h"
#include "simServer.h"
#include "simSupport.h"
#include "tempDir.h"

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;
using testsupport::childProcess;
using testsupport::childResult;

using clitest::hangLimit;
using clitest::tessera;
using testsupport::linesOf;

std::string keyOn(const std::string& devId)
{
    return R"({"devId":")" + devId + R"(","applicationName":"pkisim","containerName":"sign"})";
}

// The one line of standard error, as JSON.
json errorReport(const childResult& r)
{
    const std::vector<std::string> lines = linesOf(r.err);
    return lines.size() == 1 ? json::parse(lines[0], nullptr, false) : json();
}

class cliVerdicts : public ::testing::Test {
protected:
    void SetUp() override { startService(); }

    void startService()
    {
        pkisim::options opts;
        opts.keyDir = testsupport::sharedKeyDir();
        service = std::make_unique<pkisim::server>(opts);
        service->start();
    }

    size_t callsTo(const std::string& wireName) { return testsupport::callsNamed(*service, wireName).size(); }

    std::unique_ptr<pkisim::server> service;
};

TEST_F(cliVerdicts, signRefusesAKeyOfTheOtherTypeBeforeSigning)
{
    const childResult rsaOnEcc = tessera({"sign", "--rsa", "--base64", "--key", keyOn("SIM-ECC-01")}, {}, "x");
    EXPECT_EQ(rsaOnEcc.status, 2);
    EXPECT_NE(rsaOnEcc.err.find("holds an ECC key, not an RSA key; use --ecc"), std::string::npos) << rsaOnEcc.err;
    const childResult eccOnRsa = tessera({"sign", "--ecc", "--base64", "--key", keyOn("SIM-RSA-01")}, {}, "x");
    EXPECT_EQ(eccOnRsa.status, 2);
    EXPECT_NE(eccOnRsa.err.find("holds an RSA key, not an ECC key; use --rsa"), std::string::npos) << eccOnRsa.err;
    const childResult absent = tessera({"sign", "--ecc", "--base64", "--key", keyOn("SIM-NONE")}, {}, "x");
    EXPECT_EQ(absent.status, 1);
    EXPECT_NE(absent.err.find("lists no device 'SIM-NONE'"), std::string::npos) << absent.err;
    EXPECT_EQ(rsaOnEcc.out + eccOnRsa.out + absent.out, "");
    EXPECT_EQ(callsTo("signxPlugin:signData"), 0u);
    EXPECT_EQ(tessera({"sign", "--ecc", "--base64", "--key", keyOn("SIM-ECC-01")}, {}, "x").status, 0);
}

TEST_F(cliVerdicts, everyFailureEndsWithOneLineOnStandardError)
{
    const childResult refused = tessera({"call", "deviceOperator", "getDevInfo", R"({"devID":"SIM-NONE"})"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(json::parse(refused.out)["errCode"], 5) << "the record is printed all the same";
    ASSERT_EQ(linesOf(refused.err).size(), 1u) << refused.err;
    EXPECT_NE(refused.err.find("deviceOperator:getDevInfo: the service answered errCode 5: "), std::string::npos);
    EXPECT_NE(refused.err.find("SIM-NONE"), std::string::npos) << "the service's error text: " << refused.err;

    const childResult login = tessera({"devices", "--token", "wrong"});
    EXPECT_EQ(login.status, 4);
    EXPECT_EQ(linesOf(login.err).size(), 1u) << login.err;
    EXPECT_EQ(login.err.find("login failure."), std::string::npos) << "the library's own line is not repeated";

    const childResult missing =
        tessera({"sign", "--rsa", "--base64", "--key", keyOn("SIM-RSA-01"), "--in", "/no/file"});
    EXPECT_EQ(missing.status, 5);
    EXPECT_EQ(missing.err, "tessera: cannot read '/no/file': No such file or directory\n");

    const childResult usage = tessera({"frobnicate"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err, "tessera: unknown command 'frobnicate' (try 'tessera --help')\n");
}

TEST_F(cliVerdicts, withJsonTheLineIsAnObjectThatNamesTheCause)
{
    const json refused = errorReport(tessera({"--json", "call", "1", "getDevInfo", R"({"devID":"SIM-NONE"})"}));
    ASSERT_TRUE(refused.is_object());
    EXPECT_EQ(refused["error"]["status"], 1);
    EXPECT_EQ(refused["error"]["name"], "requestFailed");
    EXPECT_EQ(refused["error"]["errCode"], 5);
    EXPECT_TRUE(refused["error"]["serviceError"].is_string());

    const json usage = errorReport(tessera({"devices", "--json", "--count", "1"}));
    EXPECT_EQ(usage["error"]["name"], "usage");
    EXPECT_EQ(usage["error"]["status"], 2);

    service.reset();
    const json unreachable = errorReport(tessera({"devices", "--json"}));
    EXPECT_EQ(unreachable["error"]["status"], 3);
    EXPECT_EQ(unreachable["error"]["libraryError"], 4);
    EXPECT_EQ(unreachable["error"]["libraryErrorText"], "cannot connect");
    EXPECT_FALSE(unreachable["error"].contains("errCode")) << "no answer, no errCode";
}

TEST_F(cliVerdicts, globalOptionsEndAndSetTheConnections)
{
    EXPECT_EQ(tessera({"--", "devices"}).status, 0);
    EXPECT_EQ(tessera({"--text", "--", "methods", "deviceOperator"}).status, 0);
    EXPECT_EQ(tessera({"--connections", "4", "devices"}).status, 0);
    for (const char* wrong : {"0", "17", "x"}) {
        const childResult r = tessera({"--connections", wrong, "devices"});
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_NE(r.err.find("--connections needs a number from 1 to 16"), std::string::npos) << r.err;
    }
}

TEST_F(cliVerdicts, versionWithServiceAsksTheServiceItself)
{
    const childResult r = tessera({"version", "--service"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_TRUE(doc.contains("tessera"));
    EXPECT_EQ(doc["service"]["service"], "pkisim");
    EXPECT_EQ(callsTo("vantService:getVersions"), 1u);
    EXPECT_EQ(callsTo("vantService:logout"), 1u);

    EXPECT_EQ(tessera({"version", "--service", "--token", "wrong"}).status, 4);
    service.reset();
    const childResult down = tessera({"version", "--service"});
    EXPECT_EQ(down.status, 3);
    EXPECT_EQ(linesOf(down.err).size(), 1u) << down.err;
}

TEST_F(cliVerdicts, verboseShowsTheConnectAndWhyItFailed)
{
    service.reset();
    const childResult r = tessera({"--verbose", "devices"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("tessera: debug: connecting to 127.0.0.1:18080"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("tessera: debug: login failed: cannot connect"), std::string::npos) << r.err;
}

// A new service process has forgotten the session: without the command's
// own login the notifications would stay away for half a minute.
TEST_F(cliVerdicts, watchSaysWhenTheServiceWentAwayAndFollowsItBack)
{
    childProcess watch({TESSERA_CLI_PATH, "watch"}, {}, std::string());
    ASSERT_TRUE(service->waitForCalls(
        [](const std::vector<pkisim::recordedCall>& calls) {
            for (const pkisim::recordedCall& call : calls)
                if (call.wireName == "vantService:getNotify")
                    return true;
            return false;
        },
        hangLimit));
    service.reset();
    std::string line;
    ASSERT_TRUE(watch.readErrorLine(line, hangLimit));
    EXPECT_EQ(line.rfind("tessera: the service went away (cannot connect", 0), 0u) << line;

    startService();
    ASSERT_TRUE(watch.readErrorLine(line, 5s)) << "back within a second or so";
    EXPECT_EQ(line, "tessera: the service is back; watching again");
    service->insertDevice({"SIM-BACK-01", "token after the restart", "RSA"});
    ASSERT_TRUE(watch.readLine(line, 5s));
    EXPECT_NE(line.find("SIM-BACK-01"), std::string::npos) << line;
    watch.sendSignal(SIGINT);
    EXPECT_EQ(watch.finish(hangLimit).status, 0);
}

} // namespace
