// The device keys: kept in the key directory so that certificates outlive
// the service, never silently replaced, and ECC signatures in the device's
// block format.
#include <gtest/gtest.h>

#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <thread>

#include "cryptoSign.h"
#include "simServer.h"
#include "tempDir.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

pkisim::options keysIn(const std::string& dir)
{
    pkisim::options opts;
    opts.keyDir = dir;
    return opts;
}

TEST(simDeviceKeys, aLaterServiceLoadsTheSameKeysAndOnlyTheOwnerReadsThem)
{
    const testsupport::tempDir dir;
    const std::string keyDir = dir.path() + "/keys/nested"; // made on demand
    pkisim::server first(keysIn(keyDir));
    first.insertDevice({"usb-1", "usb", "RSA"});
    pkisim::server second(keysIn(keyDir));
    for (const char* id : {"SIM-RSA-01", "SIM-ECC-01"}) {
        EXPECT_FALSE(first.publicKeyPem(id).empty());
        EXPECT_EQ(first.publicKeyPem(id), second.publicKeyPem(id)) << id;
        EXPECT_EQ(first.certificatePem(id), second.certificatePem(id)) << id;
    }
    second.insertDevice({"usb-1", "usb", "RSA"});
    EXPECT_EQ(second.publicKeyPem("usb-1"), first.publicKeyPem("usb-1")) << "a device comes back with its key";

    for (const fs::directory_entry& entry : fs::directory_iterator(keyDir)) {
        struct stat info {};
        ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
        if (entry.path().string().find(".key.pem") != std::string::npos) {
            EXPECT_EQ(info.st_mode & 0777, 0600u) << entry.path();
        }
    }
}

TEST(simDeviceKeys, servicesStartingTogetherAgreeOnTheKeys)
{
    const testsupport::tempDir dir;
    std::unique_ptr<pkisim::server> other;
    std::thread starting([&] { other = std::make_unique<pkisim::server>(keysIn(dir.path())); });
    pkisim::server service(keysIn(dir.path()));
    starting.join();
    for (const char* id : {"SIM-RSA-01", "SIM-ECC-01"})
        EXPECT_EQ(service.certificatePem(id), other->certificatePem(id)) << id;
}

TEST(simDeviceKeys, unusableFilesAreReportedAndKept)
{
    const testsupport::tempDir dir;
    {
        pkisim::server service(keysIn(dir.path()));
    }
    const fs::path rsaKey = fs::path(dir.path()) / "SIM-RSA-01.key.pem";
    const fs::path eccCert = fs::path(dir.path()) / "SIM-ECC-01.cert.pem";
    const std::string original = readAll(rsaKey);
    const std::string eccCertText = readAll(eccCert);

    writeAll(rsaKey, "not a key");
    EXPECT_THROW(pkisim::server{keysIn(dir.path())}, std::runtime_error);
    EXPECT_EQ(readAll(rsaKey), "not a key");

    writeAll(rsaKey, readAll(fs::path(dir.path()) / "SIM-ECC-01.key.pem")); // an ECC key where an RSA key belongs
    EXPECT_THROW(pkisim::server{keysIn(dir.path())}, std::runtime_error);

    writeAll(rsaKey, original);
    writeAll(eccCert, readAll(fs::path(dir.path()) / "SIM-RSA-01.cert.pem")); // another key's certificate
    EXPECT_THROW(pkisim::server{keysIn(dir.path())}, std::runtime_error);

    fs::remove(eccCert); // a missing certificate is made again for the kept key
    pkisim::server service(keysIn(dir.path()));
    EXPECT_NE(service.certificatePem("SIM-ECC-01"), eccCertText);
    EXPECT_EQ(readAll(eccCert), service.certificatePem("SIM-ECC-01"));

    EXPECT_THROW(pkisim::server{keysIn(rsaKey.string())}, std::runtime_error) << "a file, not a directory";
}

// An ECDSA value shorter than 32 bytes (about one signature in 128) sits
// right-aligned in its 64-byte field, zeros before it.
TEST(simDeviceKeys, eccBlocksHoldShortValuesRightAligned)
{
    ECDSA_SIG* sig = ECDSA_SIG_new();
    BIGNUM* r = BN_new();
    BIGNUM* s = nullptr;
    BN_set_word(r, 0x0102);
    BN_hex2bn(&s, "FFEEDDCCBBAA99887766554433221100FFEEDDCCBBAA998877665544332211");
    ECDSA_SIG_set0(sig, r, s);
    unsigned char* der = nullptr;
    const int length = i2d_ECDSA_SIG(sig, &der);
    const std::string block = pkisim::eccBlockFromDer(std::string(reinterpret_cast<char*>(der), length));
    OPENSSL_free(der);
    ECDSA_SIG_free(sig);

    std::string expected(128, '\0');
    expected[62] = 0x01;
    expected[63] = 0x02;
    expected.replace(97, 31,
                     "\xFF\xEE\xDD\xCC\xBB\xAA\x99\x88\x77\x66\x55\x44\x33\x22\x11\x00"
                     "\xFF\xEE\xDD\xCC\xBB\xAA\x99\x88\x77\x66\x55\x44\x33\x22\x11",
                     31);
    EXPECT_EQ(block, expected);
    EXPECT_EQ(pkisim::eccBlockFromDer(pkisim::eccDerFromBlock(block)), block);
}

} // namespace
