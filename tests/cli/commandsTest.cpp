// The tessera command as a user runs it: the built binary against an
// in-process pkisim, checked by its output and exit status.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "base64.h"
#include "childProcess.h"
#include "runCommand.h"
#include "signatureCheck.h"
#include "simServer.h"
#include "simSupport.h"
#include "tempDir.h"
#include "tessera_catalogue.h"

namespace {

using json = nlohmann::json;
using namespace std::chrono_literals;
using testsupport::childProcess;
using testsupport::childResult;

using clitest::hangLimit;
using clitest::tessera;

const std::string rsaKey = R"({"devId":"SIM-RSA-01","applicationName":"pkisim","containerName":"sign"})";
const std::string eccKey = R"({"devId":"SIM-ECC-01","applicationName":"pkisim","containerName":"sign"})";

json parsed(const childResult& r)
{
    return json::parse(r.out, nullptr, false);
}

// Command lines that are wrong, and commands without a service.
TEST(cliUsage, wrongCommandLinesExitWithStatus2)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"devices", "--verbose=yes"},
        {"devices", "extra"},
        {"call", "deviceOperator"},
        {"call", "nosuchService", "getDevices"},
        {"call", "deviceOperator", "noSuchMethod"},
        {"call", "deviceOperator", "15"},
        {"call", "enrollPlugin", "getDevices"},
        {"call", "deviceOperator", "getDevInfo", "{not json"},
        {"call", "deviceOperator", "getDevInfo", "{}", "--extend", "x"},
        {"sign", "--key", rsaKey},
        {"sign", "--rsa", "--ecc", "--key", rsaKey},
        {"sign", "--rsa"},
        {"sign", "--rsa", "--key", R"({"devID":"SIM-RSA-01","applicationName":"pkisim","containerName":"sign"})"},
        {"watch", "--count", "0"},
        {"--text", "--json", "version"},
        {"--app", std::string(65, 'a'), "version"},
        {"help", "frobnicate"},
    };
    for (const auto& args : wrong) {
        const childResult r = tessera(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]) << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_EQ(r.out, "");
        // With --json given the line is the JSON error object.
        const bool asJson = std::find(args.begin(), args.end(), "--json") != args.end();
        EXPECT_EQ(r.err.rfind(asJson ? "{\"error\":{\"status\":2," : "tessera: ", 0), 0u) << r.err;
    }
}

TEST(cliUsage, noServiceMeansStatus3)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"devices"}, {"call", "1", "17", "{}"}, {"sign", "--ecc", "--key", eccKey}, {"watch"}}) {
        const childResult r = tessera(args, {}, "data");
        EXPECT_EQ(r.status, 3) << args[0];
        EXPECT_NE(r.err.find("cannot connect to 127.0.0.1:18080"), std::string::npos) << r.err;
    }
}

// Commands against a running pkisim.
class cliCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        appsFile = testing::TempDir() + "tessera-cli-apps.json";
        std::ofstream(appsFile) << R"([{"appName":"billing","appID":"b-17","token":"secret"}])";
        pkisim::options opts;
        opts.appsFile = appsFile;
        opts.keyDir = testsupport::sharedKeyDir();
        service = new pkisim::server(opts);
        service->start();
    }

    static void TearDownTestSuite()
    {
        delete service;
        service = nullptr;
        std::remove(appsFile.c_str());
    }

    void SetUp() override
    {
        service->clearFaults();
        service->clearCalls();
    }

    // The login texts that reached the service.
    static std::vector<json> logins()
    {
        std::vector<json> found;
        for (const pkisim::recordedCall& call : testsupport::callsNamed(*service, "vantService:login"))
            found.push_back(json::parse(call.jsonBody, nullptr, false));
        return found;
    }

    static size_t callsTo(const std::string& wireName) { return testsupport::callsNamed(*service, wireName).size(); }

    static pkisim::server* service;
    static std::string appsFile;
};

pkisim::server* cliCommands::service = nullptr;
std::string cliCommands::appsFile;

TEST_F(cliCommands, devicesListsTheServiceDevices)
{
    const childResult r = tessera({"devices"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json body = parsed(r);
    ASSERT_TRUE(body.contains("devices")) << r.out;
    std::vector<std::string> ids;
    for (const json& dev : body["devices"])
        ids.push_back(dev["devID"]);
    EXPECT_EQ(ids, (std::vector<std::string>{"SIM-RSA-01", "SIM-ECC-01"}));
    EXPECT_EQ(callsTo("vantService:logout"), 1u);
}

TEST_F(cliCommands, callReachesTheSameMethodByAnyOfItsNames)
{
    for (const auto& names : std::vector<std::pair<std::string, std::string>>{
             {"deviceOperator", "getDevInfo"}, {"devService", "getDevInfo"}, {"DEVSERVICE", "17"}, {"1", "17"}}) {
        service->clearCalls();
        const childResult r = tessera({"call", names.first, names.second, R"({"devID":"SIM-RSA-01"})"});
        ASSERT_EQ(r.status, 0) << names.first << " " << names.second << ": " << r.err;
        const json record = parsed(r);
        EXPECT_EQ(record["errCode"], 0);
        EXPECT_EQ(record["body"]["devID"], "SIM-RSA-01");
        EXPECT_EQ(callsTo("deviceOperator:getDevInfo"), 1u);
    }
}

TEST_F(cliCommands, callCarriesItsFieldsAndLongBodies)
{
    const std::string longBody = R"({"devID":"SIM-RSA-01","pad":")" + std::string(9000, 'p') + R"("})";
    const childResult r =
        tessera({"call", "deviceOperator", "getDevInfo", "-", "--req-version", "3", "--extend=-9"}, {}, longBody);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto calls = testsupport::callsNamed(*service, "deviceOperator:getDevInfo");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].jsonBody, longBody);
    EXPECT_EQ(calls[0].version, 3);
    EXPECT_EQ(calls[0].extend, -9);
    EXPECT_EQ(calls[0].msgType, 17);
}

TEST_F(cliCommands, callPrintsAnErrorAnswerOrATextBodyAsARecord)
{
    const childResult error = tessera({"call", "deviceOperator", "getDevInfo", R"({"devID":"NO-SUCH-DEVICE"})"});
    EXPECT_EQ(error.status, 1);
    EXPECT_EQ(parsed(error)["errCode"], 5);
    EXPECT_TRUE(parsed(error)["body"].contains("error")) << error.out;

    service->injectFault(testsupport::replyOf("deviceOperator:getDevices", 0, "plain \"text\""));
    const childResult text = tessera({"call", "deviceOperator", "getDevices"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(parsed(text)["bodyText"], "plain \"text\"");
}

// Each fault kind pkisim can inject ends the command with the status of its
// kind and a message that names the cause; --verbose shows the exchange.
TEST_F(cliCommands, messagesAndExitStatusesNameTheCause)
{
    EXPECT_EQ(tessera({"devices", "--token", "wrong"}).status, 4);

    auto on = [](pkisim::fault::kind what) {
        pkisim::fault f = testsupport::faultOf(what);
        f.message = "no device here";
        f.status = 503;
        return f;
    };
    const struct {
        pkisim::fault fault;
        int status;
        const char* message;
    } cases[] = {
        {on(pkisim::fault::exception), 7, "getDevices: service exception: no device here"},
        {on(pkisim::fault::httpStatus), 7, "getDevices: HTTP 503"},
        {on(pkisim::fault::malformed), 7, "getDevices: damaged reply"},
        {on(pkisim::fault::missingResult), 7, "getDevices: damaged reply"},
        {on(pkisim::fault::dropMidReply), 7, "closed the connection"},
        {on(pkisim::fault::refuseLogin), 4, "login refused: errCode 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        pkisim::fault f = c.fault;
        if (f.what == pkisim::fault::refuseLogin)
            f.method = "vantService:login";
        service->injectFault(f);
        const childResult failed = tessera({"devices"});
        EXPECT_EQ(failed.status, c.status);
        EXPECT_EQ(failed.out, "");
        EXPECT_NE(failed.err.find(c.message), std::string::npos) << failed.err;
        service->clearFaults();
    }
    const childResult verbose = tessera({"--verbose", "devices"});
    EXPECT_EQ(verbose.status, 0);
    EXPECT_NE(verbose.err.find("tessera: debug: deviceOperator:getDevices sent"), std::string::npos) << verbose.err;
}

TEST_F(cliCommands, credentialsComeFromOptionsThenEnvironment)
{
    const std::vector<std::string> billing = {"TESSERA_APP_NAME=billing", "TESSERA_APP_ID=b-17",
                                              "TESSERA_TOKEN=secret"};
    ASSERT_EQ(tessera({"devices"}, billing).status, 0);
    ASSERT_EQ(tessera({"devices", "--app=demo", "--app-id", "demo-app-id", "--token", "demo-token"}, billing).status,
              0);
    EXPECT_EQ(tessera({"devices", "--token", "demo-token"}, billing).status, 4);
    ASSERT_EQ(tessera({"devices"}).status, 0);

    const std::vector<json> seen = logins();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0]["appName"], "billing");
    EXPECT_EQ(seen[0]["token"], "secret");
    EXPECT_EQ(seen[1]["appName"], "demo");
    EXPECT_EQ(seen[2]["appName"], "billing");
    EXPECT_EQ(seen[2]["token"], "demo-token");
    EXPECT_EQ(seen[3]["appID"], "demo-app-id");
}

TEST_F(cliCommands, signWritesSignaturesThatVerify)
{
    const std::string data = "data to sign";
    const std::string certificate = service->certificatePem("SIM-RSA-01");
    childResult base64 = tessera({"sign", "--rsa", "--base64", "--key", rsaKey}, {}, data);
    ASSERT_EQ(base64.status, 0) << base64.err;
    ASSERT_EQ(base64.out.back(), '\n');
    base64.out.pop_back();
    EXPECT_TRUE(signcheck::rsaVerifies(certificate, data, vant::base64_decode(base64.out)));

    const childResult raw = tessera({"sign", "--rsa", "--key", rsaKey}, {}, data);
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_TRUE(signcheck::rsaVerifies(certificate, data, raw.out));

    const std::string in = testing::TempDir() + "tessera-cli-in.bin";
    const std::string out = testing::TempDir() + "tessera-cli-out.sig";
    std::ofstream(in, std::ios::binary) << std::string("\0\x01\x02", 3);
    const childResult toFile = tessera({"sign", "--ecc", "--key", eccKey, "--in", in, "--out", out});
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    const json summary = parsed(toFile);
    EXPECT_EQ(summary["keyType"], "ECC");
    EXPECT_EQ(summary["length"], 128);
    std::ifstream written(out, std::ios::binary);
    const std::string block((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(
        signcheck::eccBlockVerifies(service->certificatePem("SIM-ECC-01"), std::string("\0\x01\x02", 3), block));
    std::remove(in.c_str());
    std::remove(out.c_str());
}

TEST_F(cliCommands, signRefusesTooMuchDataBeforeLoggingIn)
{
    const childResult r = tessera({"sign", "--rsa", "--base64", "--key", rsaKey}, {}, std::string(706, 'x'));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("at most 705 bytes"), std::string::npos) << r.err;
    EXPECT_TRUE(logins().empty());
    EXPECT_EQ(tessera({"sign", "--rsa", "--base64", "--key", rsaKey}, {}, std::string(705, 'x')).status, 0);
}

TEST_F(cliCommands, signFailuresHaveTheirOwnStatus)
{
    const struct {
        int32_t errCode;
        const char* body;
        int status;
        const char* message;
    } answers[] = {
        {0, R"({"strSignature":"AAEC","strSignLen":"4"})", 7, "signing failed: damaged reply"},
        {5, R"({"error":"no such container"})", 1, "signing failed: the service did not sign: errCode 5"},
    };
    for (const auto& answer : answers) {
        service->injectFault(testsupport::replyOf("signxPlugin:signData", answer.errCode, answer.body));
        const childResult bad = tessera({"sign", "--rsa", "--base64", "--key", rsaKey}, {}, "x");
        EXPECT_EQ(bad.status, answer.status);
        EXPECT_EQ(bad.out, "");
        EXPECT_NE(bad.err.find(answer.message), std::string::npos) << bad.err;
    }

    const childResult unreadable =
        tessera({"sign", "--rsa", "--base64", "--key", rsaKey, "--in", testing::TempDir() + "no/such/file"});
    EXPECT_EQ(unreadable.status, 5);
}

// Starts `tessera watch ARGS` and waits until its session polls the service.
class watchProcess {
public:
    watchProcess(pkisim::server& service, const std::vector<std::string>& args)
        : child(arguments(args), {}, std::string())
    {
        ready = service.waitForCalls(
            [](const std::vector<pkisim::recordedCall>& calls) {
                for (const pkisim::recordedCall& call : calls)
                    if (call.wireName == "vantService:getNotify")
                        return true;
                return false;
            },
            hangLimit);
    }

    static std::vector<std::string> arguments(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {TESSERA_CLI_PATH, "watch"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    bool ready;
    childProcess child;
};

TEST_F(cliCommands, watchPrintsEventsUntilInterrupted)
{
    watchProcess watch(*service, {});
    ASSERT_TRUE(watch.ready);
    const std::string devId = service->insertDevice({"SIM-WATCH-01", "watched token", "ECC"});
    std::string line;
    ASSERT_TRUE(watch.child.readLine(line, hangLimit));
    const json event = json::parse(line, nullptr, false);
    EXPECT_EQ(event["event"], "deviceInserted") << line;
    EXPECT_EQ(event["msgType"], VPKI_NOTIFY_DEVICE_INSERTED);
    EXPECT_NE(line.find(devId), std::string::npos) << line;

    service->removeDevice(devId);
    ASSERT_TRUE(watch.child.readLine(line, hangLimit));
    EXPECT_EQ(json::parse(line, nullptr, false)["event"], "deviceRemoved") << line;

    watch.child.sendSignal(SIGINT);
    const childResult r = watch.child.finish(hangLimit);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(callsTo("vantService:logout"), 1u);
}

TEST_F(cliCommands, watchWithCountEndsByItself)
{
    const std::string label = service->devices().front().label;
    watchProcess watch(*service, {"--count", "1", "--text"});
    ASSERT_TRUE(watch.ready);
    service->modifyDevice("SIM-RSA-01", "relabelled");
    const childResult r = watch.child.finish(hangLimit);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("event: deviceModified\n", 0), 0u) << r.out;
    service->modifyDevice("SIM-RSA-01", label);
}

} // namespace
