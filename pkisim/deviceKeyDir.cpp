#include "deviceKeyDir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cryptoCert.h"
#include "cryptoEncoding.h"

namespace pkisim {
namespace {

constexpr size_t maxKeyFileBytes = 1 << 20;
constexpr size_t maxDeviceIdLength = 64;

// Call right after the failing system call: reads errno before anything else.
std::runtime_error fileError(const char* what, const std::string& path)
{
    std::string reason = std::strerror(errno);
    return std::runtime_error(what + (" " + path) + ": " + reason);
}

// Closes a descriptor on every path.
class fileDescriptor {
public:
    explicit fileDescriptor(int fd) : fd_(fd) {}
    ~fileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    fileDescriptor(const fileDescriptor&) = delete;
    fileDescriptor& operator=(const fileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::optional<std::string> readFileIfPresent(const std::string& path)
{
    fileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        throw fileError("cannot open", path);
    }
    std::string text;
    char chunk[4096];
    while (text.size() <= maxKeyFileBytes) {
        ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw fileError("cannot read", path);
        if (got == 0)
            return text;
        text.append(chunk, static_cast<size_t>(got));
    }
    throw std::runtime_error("key file too large: " + path);
}

void writeAll(int fd, const std::string& text, const std::string& path)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            throw fileError("cannot write", path);
        done += static_cast<size_t>(wrote);
    }
}

// Writes `text` to a temporary file beside `path` and links it in place, so
// that `path` appears complete or not at all. Returns false, leaving the file
// alone, when `path` already exists (another store was first).
bool publishFile(const std::string& path, const std::string& text, mode_t mode)
{
    std::string temp = path + ".XXXXXX";
    fileDescriptor fd(::mkostemp(&temp[0], O_CLOEXEC)); // created with mode 0600
    if (fd.get() < 0)
        throw fileError("cannot create", temp);
    struct unlinkTemp {
        const std::string& name;
        ~unlinkTemp() { ::unlink(name.c_str()); }
    } cleanup{temp};
    writeAll(fd.get(), text, temp);
    if (::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0)
        throw fileError("cannot finish", temp);
    if (::link(temp.c_str(), path.c_str()) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    throw fileError("cannot create", path);
}

std::string loadOrPublish(const std::string& path, mode_t mode, const std::function<std::string()>& make)
{
    if (std::optional<std::string> text = readFileIfPresent(path))
        return *text;
    std::string made = make();
    if (publishFile(path, made, mode))
        return made;
    if (std::optional<std::string> text = readFileIfPresent(path))
        return *text;
    throw std::runtime_error("key file vanished while being created: " + path);
}

pkeyPtr loadOrCreateKey(const std::string& path, keyKind kind)
{
    std::string pem = loadOrPublish(path, 0600, [kind] { return privateKeyPem(generateKey(kind).get()); });
    pkeyPtr key = fromPem<pkeyPtr>(pem, PEM_read_bio_PrivateKey);
    if (!key || keyKindOf(key.get()) != kind)
        throw std::runtime_error(path + " holds no unencrypted " + (kind == keyKind::rsa ? "RSA-2048" : "ECC P-256") +
                                 " private key");
    return key;
}

x509Ptr loadOrCreateCert(const std::string& path, EVP_PKEY* key, const std::string& devId)
{
    std::string pem = loadOrPublish(
        path, 0644, [key, &devId] { return pemOf(makeSelfSignedCert(key, devId).get(), PEM_write_bio_X509); });
    x509Ptr cert = fromPem<x509Ptr>(pem, PEM_read_bio_X509);
    if (!cert || !certMatchesKey(cert.get(), key))
        throw std::runtime_error(path + " holds no certificate of the device's key");
    return cert;
}

void ensureDirectory(const std::string& dir)
{
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir, error))
        throw std::runtime_error("cannot use key directory " + dir + ": " +
                                 (error ? error.message() : "not a directory"));
}

bool isDeviceIdCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

} // namespace

keyMaterial loadOrCreateKeys(const std::string& keyDir, const std::string& devId, keyKind kind)
{
    if (keyDir.empty()) {
        pkeyPtr key = generateKey(kind);
        x509Ptr cert = makeSelfSignedCert(key.get(), devId);
        return keyMaterial{std::move(key), std::move(cert)};
    }
    ensureDirectory(keyDir);
    std::string base = (std::filesystem::path(keyDir) / devId).string();
    pkeyPtr key = loadOrCreateKey(base + ".key.pem", kind);
    x509Ptr cert = loadOrCreateCert(base + ".cert.pem", key.get(), devId);
    return keyMaterial{std::move(key), std::move(cert)};
}

bool isValidDeviceId(const std::string& devId)
{
    return !devId.empty() && devId.size() <= maxDeviceIdLength && devId[0] != '.' &&
           std::all_of(devId.begin(), devId.end(), isDeviceIdCharacter);
}

} // namespace pkisim
