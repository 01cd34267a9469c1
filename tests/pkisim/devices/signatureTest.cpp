// Signatures from the default devices, checked with OpenSSL against the
// exported public key and certificate.
#include <string>

#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/ec.h>

#include "cryptoSign.h"
#include "deviceTestSupport.h"

namespace {

using json = nlohmann::json;
using devtest::call;

class signatureTest : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() { store = new pkisim::deviceStore(devtest::sharedKeyDir()); }
    static void TearDownTestSuite() { delete store; }

    std::string devId() const { return GetParam(); }

    std::string sign(const std::string& data) {
        devtest::reply r = call(*store, "signxPlugin", "signData", devtest::signRequest(devId(), data));
        EXPECT_EQ(r.code, 0) << r.body.dump();
        std::string signature = devtest::fromBase64(r.body.value("strSignature", ""));
        EXPECT_EQ(r.body.value("strSignLen", ""), std::to_string(signature.size()));
        return signature;
    }

    devtest::pkey exportedKey() {
        devtest::reply r = call(*store, "deviceOperator", "exportPublicKey", devtest::keyOf(devId()));
        EXPECT_EQ(r.code, 0);
        devtest::pkey pem = devtest::publicKeyFromPem(r.body.value("publicKeyPem", ""));
        // The DER form names the same key.
        std::string der = devtest::fromBase64(r.body.value("publicKey", ""));
        const unsigned char* at = reinterpret_cast<const unsigned char*>(der.data());
        devtest::pkey fromDer(d2i_PUBKEY(nullptr, &at, static_cast<long>(der.size())));
        EXPECT_TRUE(pem && fromDer && EVP_PKEY_eq(pem.get(), fromDer.get()) == 1);
        return pem;
    }

    devtest::x509 exportedCert() {
        devtest::reply r = call(*store, "deviceOperator", "exportCertificate", devtest::keyOf(devId()));
        EXPECT_EQ(r.code, 0);
        return devtest::certFromDer(devtest::fromBase64(r.body.value("cert", "")));
    }

    size_t expectedLength() const { return devId() == "SIM-RSA-01" ? 256 : 128; }

    static pkisim::deviceStore* store;
};

pkisim::deviceStore* signatureTest::store = nullptr;

TEST_P(signatureTest, signaturesOfEveryLengthVerifyWithKeyAndCertificate) {
    devtest::pkey key = exportedKey();
    devtest::x509 cert = exportedCert();
    ASSERT_TRUE(key && cert);
    EXPECT_EQ(store->publicKeyPem(devId()), call(*store, "deviceOperator", "exportPublicKey",
                                                 devtest::keyOf(devId())).body["publicKeyPem"]);
    for (size_t length : {0u, 1u, 2u, 3u, 4096u, 5000u}) {
        std::string data(length, '\0');
        for (size_t i = 0; i < length; ++i)
            data[i] = static_cast<char>(i * 7 + length);
        std::string signature = sign(data);
        EXPECT_EQ(signature.size(), expectedLength()) << "length " << length;
        EXPECT_TRUE(devtest::verifies(key.get(), data, signature)) << "length " << length;
        EXPECT_TRUE(devtest::verifies(X509_get0_pubkey(cert.get()), data, signature));
        EXPECT_FALSE(devtest::verifies(key.get(), data + "x", signature));
    }
}

TEST_P(signatureTest, verifySignDataAcceptsOwnSignaturesOnly) {
    std::string data = "verify me";
    std::string signature = sign(data);
    json request = devtest::signRequest(devId(), data);
    request["signature"] = devtest::toBase64(signature);
    EXPECT_EQ(call(*store, "signxPlugin", "verifySignData", request).body, json({{"verified", true}}));

    std::string flipped = signature;
    flipped[flipped.size() - 1] ^= 1;
    request["signature"] = devtest::toBase64(flipped);
    EXPECT_EQ(call(*store, "signxPlugin", "verifySignData", request).code, 10);

    request["signature"] = devtest::toBase64(signature.substr(1));
    EXPECT_EQ(call(*store, "signxPlugin", "verifySignData", request).code, 10);

    request = devtest::signRequest(devId(), "other data");
    request["signature"] = devtest::toBase64(signature);
    EXPECT_EQ(call(*store, "signxPlugin", "verifySignData", request).code, 10);
}

TEST_P(signatureTest, mailServiceSignsLikeTheSigningService) {
    std::string data = "mail";
    devtest::reply r = call(*store, "vmailPlugin", "signData", devtest::signRequest(devId(), data));
    ASSERT_EQ(r.code, 0);
    devtest::pkey key = exportedKey();
    EXPECT_TRUE(devtest::verifies(key.get(), data, devtest::fromBase64(r.body["strSignature"])));
}

TEST_P(signatureTest, certificateDescribesTheDevice) {
    devtest::reply exported = call(*store, "deviceOperator", "exportCertificate", devtest::keyOf(devId()));
    ASSERT_EQ(exported.code, 0);
    EXPECT_EQ(exported.body["certPem"], store->certificatePem(devId()));
    for (const char* form : {"cert", "certPem"}) {
        devtest::reply parsed = call(*store, "signxPlugin", "parseCert", json{{"cert", exported.body[form]}});
        ASSERT_EQ(parsed.code, 0) << form;
        EXPECT_EQ(parsed.body["subject"], "CN=" + devId() + ",O=pkisim");
        EXPECT_EQ(parsed.body["issuer"], parsed.body["subject"]);
        EXPECT_EQ(parsed.body["keyType"], devId() == "SIM-RSA-01" ? "RSA" : "ECC");
        EXPECT_EQ(parsed.body["keyBits"], devId() == "SIM-RSA-01" ? 2048 : 256);
        EXPECT_LT(parsed.body["notBefore"].get<std::string>(), parsed.body["notAfter"].get<std::string>());
    }
    devtest::x509 cert = devtest::certFromDer(devtest::fromBase64(exported.body["cert"]));
    EXPECT_EQ(X509_verify(cert.get(), X509_get0_pubkey(cert.get())), 1) << "self-signed";
}

INSTANTIATE_TEST_SUITE_P(defaultDevices, signatureTest,
                         ::testing::Values("SIM-RSA-01", "SIM-ECC-01"));

// An ECDSA value shorter than 32 bytes sits right-aligned in its 64-byte
// field, zeros before it.
TEST(eccBlockLayout, shortValuesAreRightAligned) {
    ECDSA_SIG* sig = ECDSA_SIG_new();
    BIGNUM* r = BN_new();
    BIGNUM* s = BN_new();
    BN_set_word(r, 0x0102);
    BN_hex2bn(&s, "00FFEEDDCCBBAA99887766554433221100FFEEDDCCBBAA998877665544332211");
    ECDSA_SIG_set0(sig, r, s);
    unsigned char* der = nullptr;
    int length = i2d_ECDSA_SIG(sig, &der);
    std::string block = pkisim::eccBlockFromDer(std::string(reinterpret_cast<char*>(der), length));
    OPENSSL_free(der);
    ECDSA_SIG_free(sig);

    ASSERT_EQ(block.size(), 128u);
    std::string expectedR(64, '\0');
    expectedR[62] = 0x01;
    expectedR[63] = 0x02;
    EXPECT_EQ(block.substr(0, 64), expectedR);
    EXPECT_EQ(block.substr(64, 33), std::string(33, '\0'));
    EXPECT_EQ(static_cast<unsigned char>(block[97]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(block[127]), 0x11);
    EXPECT_EQ(pkisim::eccBlockFromDer(pkisim::eccDerFromBlock(block)), block);
}

// Real signatures whose r or s happens to have a leading zero byte (about one
// in 128) still verify, and the upper 32 bytes of both fields are always zero.
TEST(eccBlockLayout, signaturesWithLeadingZeroBytesVerify) {
    pkisim::deviceStore store(devtest::sharedKeyDir());
    devtest::pkey key = devtest::publicKeyFromPem(store.publicKeyPem("SIM-ECC-01"));
    bool shortR = false;
    bool shortS = false;
    for (int attempt = 0; attempt < 20000 && !(shortR && shortS); ++attempt) {
        std::string data = std::to_string(attempt);
        devtest::reply r = call(store, "signxPlugin", "signData", devtest::signRequest("SIM-ECC-01", data));
        std::string block = devtest::fromBase64(r.body["strSignature"]);
        ASSERT_EQ(block.size(), 128u);
        ASSERT_EQ(block.substr(0, 32), std::string(32, '\0'));
        ASSERT_EQ(block.substr(64, 32), std::string(32, '\0'));
        bool rShort = block[32] == '\0';
        bool sShort = block[96] == '\0';
        if (rShort || sShort) {
            ASSERT_TRUE(devtest::verifies(key.get(), data, block)) << "attempt " << attempt;
        }
        shortR = shortR || rShort;
        shortS = shortS || sShort;
    }
    EXPECT_TRUE(shortR && shortS);
}

} // namespace
