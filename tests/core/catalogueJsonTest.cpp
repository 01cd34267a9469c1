// catalogue.json, the lists for programs in other languages, says what the
// library itself does: the methods it routes, the failure codes and texts
// agentErrorString gives, the version tesseraVersion reports.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "catalogue.h"
#include "tessera.h"

namespace {

nlohmann::json catalogue()
{
    std::ifstream file(TESSERA_CATALOGUE_JSON);
    return nlohmann::json::parse(file);
}

TEST(catalogueJson, namesEveryRoutedMethodOfEachServiceAsTheLibraryRoutesIt)
{
    const nlohmann::json json = catalogue();
    EXPECT_EQ(json.at("version"), tesseraVersion(nullptr, nullptr, nullptr));
    const auto& services = json.at("services");
    ASSERT_EQ(services.size(), 4u);
    size_t routed = 0;
    for (const auto& service : services) {
        const int value = service.at("value");
        SCOPED_TRACE(service.dump());
        EXPECT_EQ(service.at("enum"), service.at("name").get<std::string>() + "SERVICE");
        for (const auto& method : service.at("methods")) {
            EXPECT_EQ(vant::catalogueMethod(value, method.at("msgType")), method.at("name"));
            ++routed;
        }
        for (const auto& name : service.at("unselectable"))
            EXPECT_EQ(vant::catalogueMsgType(value, name.get<std::string>().c_str()), 0);
    }
    EXPECT_EQ(services[DEVSERVICE].at("name"), "DEV");
    EXPECT_EQ(routed, static_cast<size_t>(vant::catalogueEnd() - vant::catalogueBegin()));
    EXPECT_EQ(services[ENROLLSERVICE].at("unselectable"), nlohmann::json({"importPfx2SkfFile"}));
}

TEST(catalogueJson, errorsResultsAndNotificationsAreTheHeadersConstants)
{
    const nlohmann::json json = catalogue();
    const auto& errors = json.at("errors");
    ASSERT_EQ(errors.size(), static_cast<size_t>(VPKI_ERR_IN_CALLBACK) + 1);
    for (const auto& error : errors)
        EXPECT_STREQ(agentErrorString(error.at("code")), error.at("text").get<std::string>().c_str()) << error;
    EXPECT_EQ(errors[0], nlohmann::json({{"name", "VPKI_OK"}, {"code", VPKI_OK}, {"text", "success"}}));
    EXPECT_EQ(errors[VPKI_ERR_CANNOT_CONNECT].at("name"), "VPKI_ERR_CANNOT_CONNECT");

    const auto& results = json.at("results");
    EXPECT_EQ(results.front().at("name"), "OK");
    EXPECT_EQ(results.at(1).at("code"), VPKI_RESULT_SESSION_LOST);
    const auto& notifications = json.at("notifications");
    ASSERT_EQ(notifications.size(), 4u);
    EXPECT_EQ(notifications[0].at("msgType"), VPKI_NOTIFY_DEVICE_INSERTED);
    EXPECT_EQ(notifications[0].at("serviceName"), "enMsg_NotifyerDevin");
    EXPECT_EQ(notifications[3].at("msgType"), VPKI_NOTIFY_SESSION_CLOSED);
}

} // namespace
