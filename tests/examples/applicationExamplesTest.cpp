// The examples of asynchronous requests, notifications and signing, run as
// a user runs them against pkisim on 127.0.0.1:18080.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "childProcess.h"
#include "serviceFixture.h"

namespace {

using testsupport::childProcess;
using testsupport::childResult;

using applicationExamples = testsupport::serviceTest;

using testsupport::linesOf;

TEST_F(applicationExamples, asyncAnswersArriveUnderTheirOwnIds)
{
    childProcess child({ASYNC_REQUESTS}, {}, "");
    const childResult r = child.finish(60s);
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const std::vector<std::string> lines = linesOf(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    std::set<std::string> ids;
    for (const std::string& line : lines)
        ids.insert(line.substr(0, line.find(':')));
    EXPECT_EQ(ids.size(), 3u) << r.out;
    EXPECT_NE(lines[0].find("\"devices\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("SIM-RSA-01"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("SIM-ECC-01"), std::string::npos) << lines[2];
}

TEST_F(applicationExamples, bothSignaturesVerifyWithOpenSsl)
{
    childProcess child({SIGN_AND_VERIFY, "an example text"}, {}, "");
    const childResult r = child.finish(60s);
    EXPECT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_NE(r.out.find("RSA: 256-byte signature verified"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ECC: 128-byte signature verified"), std::string::npos) << r.out;
}

TEST_F(applicationExamples, notificationsArriveAsTheyHappen)
{
    childProcess child({WATCH_DEVICES, "2"}, {}, "");
    std::string line;
    ASSERT_TRUE(child.readLine(line, 60s));
    ASSERT_EQ(line, "watching");
    sim->insertDevice({"SIM-EXAMPLE-01", "example token", "RSA"});
    ASSERT_TRUE(child.readLine(line, 60s));
    EXPECT_EQ(line.rfind("inserted ", 0), 0u) << line;
    EXPECT_NE(line.find("SIM-EXAMPLE-01"), std::string::npos) << line;
    sim->removeDevice("SIM-EXAMPLE-01");
    ASSERT_TRUE(child.readLine(line, 60s));
    EXPECT_EQ(line.rfind("removed ", 0), 0u) << line;
    EXPECT_EQ(child.finish(60s).status, 0);
}

} // namespace
