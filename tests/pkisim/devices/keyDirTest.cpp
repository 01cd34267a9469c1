// Keys and certificates kept in a key directory across stores.
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "deviceTestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(keyDirTest, secondStoreLoadsTheSameKeysAndCertificates) {
    devtest::tempDir dir;
    std::string keyDir = (fs::path(dir.path()) / "keys" / "nested").string();  // created on demand
    pkisim::deviceStore first(keyDir);
    std::string inserted = first.insert({"usb-1", "usb", "RSA"});
    pkisim::deviceStore second(keyDir);
    for (const char* id : {"SIM-RSA-01", "SIM-ECC-01"}) {
        EXPECT_FALSE(first.publicKeyPem(id).empty());
        EXPECT_EQ(first.publicKeyPem(id), second.publicKeyPem(id)) << id;
        EXPECT_EQ(first.certificatePem(id), second.certificatePem(id)) << id;
        EXPECT_EQ(readAll(fs::path(keyDir) / (std::string(id) + ".cert.pem")), second.certificatePem(id));
    }
    // A device inserted again under the same id gets its key back.
    EXPECT_EQ(second.insert({"usb-1", "usb", "RSA"}), inserted);
    EXPECT_EQ(second.publicKeyPem("usb-1"), first.publicKeyPem("usb-1"));

    // A signature of one store verifies with the other's certificate.
    devtest::reply exported = devtest::call(second, "deviceOperator", "exportCertificate",
                                            devtest::keyOf("SIM-ECC-01"));
    devtest::x509 cert = devtest::certFromDer(devtest::fromBase64(exported.body["cert"]));
    devtest::reply signed_ = devtest::call(first, "signxPlugin", "signData",
                                           devtest::signRequest("SIM-ECC-01", "same key"));
    EXPECT_TRUE(devtest::verifies(X509_get0_pubkey(cert.get()), "same key",
                                  devtest::fromBase64(signed_.body["strSignature"])));
}

TEST(keyDirTest, privateKeysAreReadableByTheOwnerOnly) {
    devtest::tempDir dir;
    pkisim::deviceStore store(dir.path());
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path())) {
        struct stat info {};
        ASSERT_EQ(::stat(entry.path().c_str(), &info), 0);
        std::string name = entry.path().filename().string();
        if (name.size() > 8 && name.substr(name.size() - 8) == ".key.pem")
            EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
        else
            EXPECT_TRUE(name.size() > 9 && name.substr(name.size() - 9) == ".cert.pem") << "stray " << name;
    }
}

TEST(keyDirTest, storesStartingTogetherAgreeOnTheKeys) {
    devtest::tempDir dir;
    std::unique_ptr<pkisim::deviceStore> a;
    std::unique_ptr<pkisim::deviceStore> b;
    std::thread other([&] { b = std::make_unique<pkisim::deviceStore>(dir.path()); });
    a = std::make_unique<pkisim::deviceStore>(dir.path());
    other.join();
    for (const char* id : {"SIM-RSA-01", "SIM-ECC-01"})
        EXPECT_EQ(a->certificatePem(id), b->certificatePem(id)) << id;
}

// Files that hold the wrong thing are reported, never silently replaced.
TEST(keyDirTest, unusableFilesAreReportedAndKept) {
    devtest::tempDir dir;
    { pkisim::deviceStore store(dir.path()); }
    fs::path rsaKey = fs::path(dir.path()) / "SIM-RSA-01.key.pem";
    fs::path eccKey = fs::path(dir.path()) / "SIM-ECC-01.key.pem";
    fs::path eccCert = fs::path(dir.path()) / "SIM-ECC-01.cert.pem";
    std::string original = readAll(rsaKey);
    std::string eccCertText = readAll(eccCert);

    writeAll(rsaKey, "not a key");
    EXPECT_THROW(pkisim::deviceStore{dir.path()}, std::runtime_error);
    EXPECT_EQ(readAll(rsaKey), "not a key");

    writeAll(rsaKey, readAll(eccKey));  // an ECC key where an RSA key belongs
    EXPECT_THROW(pkisim::deviceStore{dir.path()}, std::runtime_error);

    writeAll(rsaKey, original);
    writeAll(eccCert, readAll(fs::path(dir.path()) / "SIM-RSA-01.cert.pem"));  // another key's certificate
    EXPECT_THROW(pkisim::deviceStore{dir.path()}, std::runtime_error);

    // A missing certificate is made again for the kept key.
    fs::remove(eccCert);
    pkisim::deviceStore store(dir.path());
    EXPECT_NE(store.certificatePem("SIM-ECC-01"), eccCertText);
    EXPECT_EQ(readAll(eccCert), store.certificatePem("SIM-ECC-01"));
}

TEST(keyDirTest, keyDirThatIsAFileIsReported) {
    devtest::tempDir dir;
    fs::path file = fs::path(dir.path()) / "plain";
    writeAll(file, "x");
    EXPECT_THROW(pkisim::deviceStore{file.string()}, std::runtime_error);
}

} // namespace
