#include "cryptoCert.h"

#include <cstdint>
#include <ctime>

#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include "cryptoEncoding.h"
#include "cryptoKeys.h"

namespace pkisim {
namespace {

constexpr long oneDaySeconds = 24 * 60 * 60;
constexpr int validityDays = 20 * 365;

void setRandomSerial(X509* cert)
{
    uint64_t serial = 0;
    if (RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial) != 1)
        throwOpenSslError("no random serial number");
    serial = (serial >> 1) | (uint64_t(1) << 62); // positive, always eight bytes
    if (ASN1_INTEGER_set_uint64(X509_get_serialNumber(cert), serial) != 1)
        throwOpenSslError("cannot set a serial number");
}

void setSubject(X509* cert, const std::string& commonName)
{
    X509_NAME* name = X509_get_subject_name(cert);
    auto add = [name](const char* field, const std::string& value) {
        if (X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0) != 1)
            throwOpenSslError("cannot build a subject name");
    };
    add("O", "pkisim");
    add("CN", commonName); // printed first: RFC 2253 starts with the last entry
    if (X509_set_issuer_name(cert, name) != 1)
        throwOpenSslError("cannot set the issuer name");
}

void addExtension(X509* cert, X509V3_CTX* ctx, int nid, const char* value)
{
    x509ExtPtr ext(X509V3_EXT_conf_nid(nullptr, ctx, nid, value));
    if (!ext || X509_add_ext(cert, ext.get(), -1) != 1)
        throwOpenSslError("cannot add a certificate extension");
}

void addSigningExtensions(X509* cert)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    addExtension(cert, &ctx, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert, &ctx, NID_key_usage, "critical,digitalSignature,nonRepudiation");
    addExtension(cert, &ctx, NID_subject_key_identifier, "hash");
}

std::string nameText(const X509_NAME* name)
{
    return bioText([name](BIO* bio) { return X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253) >= 0 ? 1 : 0; });
}

std::string timeText(const ASN1_TIME* time)
{
    std::tm parts{};
    char text[32] = "";
    if (ASN1_TIME_to_tm(time, &parts) == 1)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string serialText(const X509* cert)
{
    bnPtr serial(ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr));
    char* hex = serial ? BN_bn2hex(serial.get()) : nullptr;
    std::string text = hex ? hex : "";
    OPENSSL_free(hex);
    return text;
}

void describeKey(const X509* cert, certSummary& summary)
{
    const EVP_PKEY* key = X509_get0_pubkey(cert);
    if (!key)
        return;
    std::optional<keyKind> kind = keyKindOf(key);
    const char* typeName = EVP_PKEY_get0_type_name(key);
    summary.keyType = kind ? keyKindName(*kind) : typeName ? typeName : "";
    summary.keyBits = EVP_PKEY_get_bits(key);
}

} // namespace

x509Ptr makeSelfSignedCert(EVP_PKEY* key, const std::string& commonName)
{
    x509Ptr cert(X509_new());
    if (!cert || X509_set_version(cert.get(), X509_VERSION_3) != 1)
        throwOpenSslError("cannot create a certificate");
    setRandomSerial(cert.get());
    if (!X509_gmtime_adj(X509_getm_notBefore(cert.get()), -oneDaySeconds) ||
        !X509_time_adj_ex(X509_getm_notAfter(cert.get()), validityDays, 0, nullptr))
        throwOpenSslError("cannot set the validity");
    setSubject(cert.get(), commonName);
    if (X509_set_pubkey(cert.get(), key) != 1)
        throwOpenSslError("cannot set the public key");
    addSigningExtensions(cert.get());
    if (X509_sign(cert.get(), key, EVP_sha256()) <= 0)
        throwOpenSslError("cannot sign the certificate");
    return cert;
}

bool certMatchesKey(const X509* cert, const EVP_PKEY* key)
{
    const EVP_PKEY* certKey = X509_get0_pubkey(cert);
    bool matches = certKey && EVP_PKEY_eq(certKey, key) == 1;
    ERR_clear_error();
    return matches;
}

certSummary summarizeCert(const X509* cert)
{
    certSummary summary;
    summary.subject = nameText(X509_get_subject_name(cert));
    summary.issuer = nameText(X509_get_issuer_name(cert));
    summary.serialNumber = serialText(cert);
    summary.notBefore = timeText(X509_get0_notBefore(cert));
    summary.notAfter = timeText(X509_get0_notAfter(cert));
    describeKey(cert, summary);
    const char* algorithm = OBJ_nid2ln(X509_get_signature_nid(cert));
    summary.signatureAlgorithm = algorithm ? algorithm : "";
    return summary;
}

} // namespace pkisim
