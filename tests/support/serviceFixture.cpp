#include "serviceFixture.h"

#include <cstring>

#include "tempDir.h"

namespace testsupport {

void fillRequest(vpkiReq& req, int32_t msgType, const std::string& json, int32_t version, int64_t extend)
{
    req.msgType = msgType;
    req.version = version;
    req.extend = extend;
    std::memset(req.jsonBody, 0, sizeof req.jsonBody);
    std::strncpy(req.jsonBody, json.c_str(), sizeof req.jsonBody - 1);
}

bool getDevicesWorks()
{
    vpkiReq req;
    fillRequest(req, VPKI_DEV_getDevices, "{}");
    vpkiResp resp;
    return reqSync(DEVSERVICE, &req, &resp) && resp.errCode == VPKI_RESULT_OK;
}

void poisonResponse(vpkiResp& resp)
{
    resp.respid = -11;
    resp.msgType = -12;
    resp.version = -13;
    resp.errCode = -14;
    resp.extend = -15;
    std::strcpy(resp.jsonBody, "untouched");
    resp.body->setSize(3);
    std::memcpy(resp.body->getData(), "abc", 3);
}

bool isPoisoned(const vpkiResp& resp)
{
    return resp.respid == -11 && resp.msgType == -12 && resp.version == -13 && resp.errCode == -14 &&
           resp.extend == -15 && std::strcmp(resp.jsonBody, "untouched") == 0 && resp.body->getDataString() == "abc";
}

void serviceTest::SetUp()
{
    replaceService(serviceOptions());
}

void serviceTest::replaceService(pkisim::options options)
{
    sim.reset();
    if (options.keyDir.empty())
        options.keyDir = sharedKeyDir();
    sim = std::make_unique<pkisim::server>(options);
    sim->start();
}

void serviceTest::TearDown()
{
    releaseAgent();
    setAgentMaxConnections(1);
    vant::theAgent().waits() = vant::timings();
    sim.reset();
}

bool serviceTest::loginDemo()
{
    return loginAgent(pkisim::demoAppName, pkisim::demoAppID, pkisim::demoToken);
}

void serviceTest::createAndLogin(agentNotifyFunc notifyFunc, agentRespCB respCB, void* notifyParam)
{
    ASSERT_TRUE(createAgent(notifyFunc, respCB, notifyParam));
    ASSERT_TRUE(loginDemo());
}

} // namespace testsupport
