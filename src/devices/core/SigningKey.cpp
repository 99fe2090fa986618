#include "devices/core/SigningKey.h"

#include "devices/core/UserFacingError.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>

namespace quorvex {

namespace {

// The PEM reader asks for a pass phrase through this callback when a key is encrypted. Without
// one, OpenSSL would prompt on the terminal; answering "no pass phrase" makes it fail instead.
int refusePassword(char*, int, int, void*) {
    return -1;
}

const QString kNotAKey = QStringLiteral("The key isn’t a P-256 private key in PEM format.");

} // namespace

void SigningKey::Free::operator()(EVP_PKEY* key) const {
    EVP_PKEY_free(key);
}

SigningKey SigningKey::fromPem(const QByteArray& pem) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())),
                                                  BIO_free);
    if (!bio)
        throw UserFacingError(kNotAKey);
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio.get(), nullptr, refusePassword, nullptr);
    if (!key)
        throw UserFacingError(kNotAKey);
    SigningKey result(key);
    char group[64] = {};
    size_t length = 0;
    if (!EVP_PKEY_is_a(key, "EC") ||
        !EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, &length) ||
        std::string_view(group, length) != "prime256v1")
        throw UserFacingError(kNotAKey);
    return result;
}

QByteArray SigningKey::sign(const QByteArray& data) const {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    size_t length = 0;
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, m_key.get()) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length,
                       reinterpret_cast<const unsigned char*>(data.constData()), size_t(data.size())) != 1)
        throw UserFacingError(QStringLiteral("Couldn’t sign the provider token."));
    QByteArray der(qsizetype(length), Qt::Uninitialized);
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(der.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.constData()), size_t(data.size())) != 1)
        throw UserFacingError(QStringLiteral("Couldn’t sign the provider token."));
    der.resize(qsizetype(length));
    ++s_signatures;
    QByteArray raw = rawSignature(der);
    if (raw.isEmpty())
        throw UserFacingError(QStringLiteral("Couldn’t sign the provider token."));
    return raw;
}

QByteArray SigningKey::rawSignature(const QByteArray& der) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.constData());
    std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> signature(
        d2i_ECDSA_SIG(nullptr, &cursor, long(der.size())), ECDSA_SIG_free);
    // Trailing bytes after the SEQUENCE mean this is not one signature.
    if (!signature || cursor != reinterpret_cast<const unsigned char*>(der.constData()) + der.size())
        return {};
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(signature.get(), &r, &s);
    // r and s are integers below the curve order; DER drops leading zero bytes and adds one when
    // the top bit is set, so each must be padded (or unpadded) to exactly 32 bytes.
    QByteArray raw(64, Qt::Uninitialized);
    if (BN_bn2binpad(r, reinterpret_cast<unsigned char*>(raw.data()), 32) != 32 ||
        BN_bn2binpad(s, reinterpret_cast<unsigned char*>(raw.data()) + 32, 32) != 32)
        return {};
    return raw;
}

} // namespace quorvex
