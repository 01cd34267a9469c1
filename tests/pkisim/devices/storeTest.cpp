// Devices, applications, containers, enrolment, and concurrent use.
#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <openssl/pem.h>

#include "deviceTestSupport.h"

namespace {

using json = nlohmann::json;
using devtest::call;

class storeTest : public ::testing::Test {
protected:
    pkisim::deviceStore store{devtest::sharedKeyDir()};

    json deviceIds() {
        json ids = json::array();
        devtest::reply listed = devtest::callText(store, "deviceOperator", "getDevices", "");
        for (const json& dev : listed.body["devices"])
            ids.push_back(dev["devID"]);
        return ids;
    }

    int op(const std::string& method, const json& request) {
        return call(store, "deviceOperator", method, request).code;
    }
};

TEST_F(storeTest, defaultDevicesAreListedWithTheirInformation) {
    EXPECT_EQ(deviceIds(), json({"SIM-RSA-01", "SIM-ECC-01"}));
    ASSERT_EQ(store.list().size(), 2u);
    EXPECT_EQ(store.list()[1].keyType, "ECC");

    devtest::reply info = call(store, "deviceOperator", "getDevInfo", json{{"devID", "SIM-ECC-01"}});
    ASSERT_EQ(info.code, 0);
    for (const char* name : {"version", "manufacturer", "issuer", "label", "serialNumber",
                             "hwVersion", "firmwareVersion"})
        EXPECT_TRUE(info.body[name].is_string() && !info.body[name].get<std::string>().empty()) << name;
    EXPECT_GT(info.body["totalSpace"].get<long>(), info.body["freeSpace"].get<long>());
    EXPECT_EQ(call(store, "deviceOperator", "getAppList", json{{"devID", "SIM-ECC-01"}}).body,
              json({{"apps", {"pkisim"}}}));
    json app = {{"devID", "SIM-ECC-01"}, {"appName", "pkisim"}};
    EXPECT_EQ(call(store, "deviceOperator", "getContainers", app).body, json({{"containers", {"sign"}}}));
    EXPECT_EQ(call(store, "deviceOperator", "getContainerType", devtest::keyOf("SIM-ECC-01")).body["containerType"], 2);
    EXPECT_EQ(call(store, "deviceOperator", "getContainerType", devtest::keyOf("SIM-RSA-01")).body["containerType"], 1);
}

TEST_F(storeTest, insertRemoveAndModify) {
    std::string id = store.insert({"", "spare", "ECC"});
    EXPECT_EQ(id, "SIM-ECC-02");
    EXPECT_EQ(store.insert({"card-7", "card", "RSA"}), "card-7");
    EXPECT_EQ(deviceIds(), json({"SIM-RSA-01", "SIM-ECC-01", "SIM-ECC-02", "card-7"}));
    EXPECT_THROW(store.insert({"card-7", "again", "RSA"}), std::invalid_argument);
    EXPECT_THROW(store.insert({"", "x", "DSA"}), std::invalid_argument);
    EXPECT_THROW(store.insert({"../escape", "x", "RSA"}), std::invalid_argument);

    // An inserted device is complete: it signs, and its certificate is its key's.
    devtest::reply signed_ = call(store, "signxPlugin", "signData", devtest::signRequest(id, "abc"));
    ASSERT_EQ(signed_.code, 0);
    devtest::pkey key = devtest::publicKeyFromPem(store.publicKeyPem(id));
    EXPECT_TRUE(devtest::verifies(key.get(), "abc", devtest::fromBase64(signed_.body["strSignature"])));
    EXPECT_NE(store.certificatePem(id), "");

    EXPECT_TRUE(store.modify(id, "renamed"));
    EXPECT_EQ(call(store, "deviceOperator", "getDevInfo", json{{"devID", id}}).body["label"], "renamed");
    EXPECT_FALSE(store.modify("nope", "x"));

    EXPECT_TRUE(store.remove(id));
    EXPECT_FALSE(store.remove(id));
    EXPECT_EQ(op("getDevInfo", json{{"devID", id}}), 5);
    EXPECT_EQ(store.certificatePem(id), "");
    EXPECT_EQ(store.insert({"", "", "ECC"}), "SIM-ECC-02") << "the freed id is used again";
}

TEST_F(storeTest, labelSetByRequestIsListed) {
    EXPECT_EQ(op("setDevLable", json{{"devID", "SIM-RSA-01"}, {"label", "mine"}}), 0);
    EXPECT_EQ(store.list()[0].label, "mine");
}

TEST_F(storeTest, applicationsAndContainersComeAndGo) {
    json app = {{"devID", "SIM-RSA-01"}, {"appName", "extra"}, {"adminPin", "11111111"},
                {"userPin", "222222"}};
    EXPECT_EQ(op("createApp", app), 0);
    EXPECT_EQ(op("createApp", app), 4) << "already exists";
    json con = {{"devID", "SIM-RSA-01"}, {"appName", "extra"}, {"conName", "c1"}};
    EXPECT_EQ(op("createContainer", con), 0);
    EXPECT_EQ(op("createContainer", con), 4);
    EXPECT_EQ(call(store, "deviceOperator", "getContainerType", con).body["containerType"], 0);
    EXPECT_EQ(call(store, "signxPlugin", "signData", [&] {
                  json r = con;
                  r["srcData"] = "";
                  return r;
              }()).code, 5) << "an empty container cannot sign";
    EXPECT_EQ(op("exportCertificate", con), 5);
    EXPECT_EQ(op("delContainer", con), 0);
    EXPECT_EQ(op("delContainer", con), 5);
    EXPECT_EQ(op("delApp", app), 0);
    EXPECT_EQ(op("getContainers", app), 5);
    EXPECT_EQ(op("delApp", json{{"devID", "SIM-RSA-01"}, {"appName", "pkisim"}}), 0);
    EXPECT_EQ(store.publicKeyPem("SIM-RSA-01"), "") << "its default key went with the application";
}

// genKeypair, makePkcs10, importX509Cert, getCert: the enrolment round.
TEST_F(storeTest, enrolmentReplacesKeyAndCertificate) {
    json con = {{"devID", "SIM-RSA-01"}, {"appName", "pkisim"}, {"conName", "enc"}};
    ASSERT_EQ(op("createContainer", con), 0);
    json gen = con;
    gen["keyType"] = "ECC";
    devtest::reply generated = call(store, "enrollPlugin", "genKeypair", gen);
    ASSERT_EQ(generated.code, 0);
    EXPECT_EQ(call(store, "deviceOperator", "getContainerType", con).body["containerType"], 2);

    json csrRequest = con;
    csrRequest["subject"] = "CN=alice,O=Example,C=CN";
    devtest::reply csr = call(store, "enrollPlugin", "makePkcs10", csrRequest);
    ASSERT_EQ(csr.code, 0);
    std::string pem = csr.body["pkcs10Pem"];
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509_REQ* req = PEM_read_bio_X509_REQ(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    ASSERT_NE(req, nullptr);
    devtest::pkey generatedKey = devtest::publicKeyFromPem(generated.body["publicKeyPem"]);
    EXPECT_EQ(X509_REQ_verify(req, generatedKey.get()), 1) << "signed by the new key";
    char subject[256];
    X509_NAME_oneline(X509_REQ_get_subject_name(req), subject, sizeof subject);
    EXPECT_STREQ(subject, "/C=CN/O=Example/CN=alice");
    X509_REQ_free(req);

    // Issue a certificate for the request (here: the ECC device's own certificate
    // stands in for it) and import it into the container.
    devtest::reply foreign = call(store, "deviceOperator", "exportCertificate", devtest::keyOf("SIM-ECC-01"));
    json import = con;
    import["cert"] = foreign.body["certPem"];
    EXPECT_EQ(call(store, "enrollPlugin", "importX509Cert", import).code, 0);
    EXPECT_EQ(call(store, "enrollPlugin", "getCert", con).body["cert"], foreign.body["cert"]);

    // A new key in the default container drops the certificate of the old one.
    json regen = devtest::keyOf("SIM-RSA-01");
    ASSERT_EQ(call(store, "enrollPlugin", "genKeypair", regen).code, 0);
    EXPECT_EQ(op("exportCertificate", regen), 5);
    EXPECT_EQ(store.certificatePem("SIM-RSA-01"), "");
    json certs = call(store, "deviceOperator", "getAllCert", json{{"devID", "SIM-RSA-01"}}).body["certs"];
    ASSERT_EQ(certs.size(), 1u);
    EXPECT_EQ(certs[0]["conName"], "enc");
    EXPECT_EQ(devtest::callText(store, "deviceOperator", "getAllCert", "").body["certs"].size(), 2u);
}

TEST_F(storeTest, otherMethodsAnswerASimulatedBody) {
    std::string body = R"({"devID":"SIM-RSA-01","x":[1,2]})";
    for (auto [service, method] : {std::pair{"deviceOperator", "devAuth"}, {"vmailPlugin", "compose"},
                                   {"signxPlugin", "envelopeEncrypt"}, {"enrollPlugin", "importPfxCert"}}) {
        devtest::reply r = devtest::callText(store, service, method, body);
        EXPECT_EQ(r.code, 0) << method;
        EXPECT_EQ(r.body, json({{"simulated", true}, {"method", method}, {"request", body}}));
    }
}

// Requests, inserts and removals from several threads at once (run under
// ThreadSanitizer in CI).
TEST_F(storeTest, concurrentUseIsSafe) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 30; ++i) {
                std::string reply;
                json request = devtest::signRequest(t % 2 ? "SIM-ECC-01" : "SIM-RSA-01", "x");
                if (store.handle("signxPlugin", "signData", request.dump(), reply) != 0)
                    ++failures;
                store.handle("deviceOperator", "getDevices", "", reply);
                store.modify("SIM-ECC-01", "label " + std::to_string(i));
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < 3; ++i) {
            std::string id = store.insert({"", "temp", "ECC"});
            store.list();
            store.remove(id);
        }
    });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(store.list().size(), 2u);
}

} // namespace
