#pragma once

#include <QByteArray>

#include <atomic>
#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

namespace quorvex {

/// An APNs signing key: an EC private key on the P-256 curve (prime256v1) read from a PEM text,
/// as the .p8 files of the developer portal hold it (PKCS #8). Signs with ECDSA over SHA-256 and
/// gives the signature in the raw form JSON Web Tokens use (r then s, 32 bytes each).
class SigningKey final {
public:
    /// Parses the PEM text. Throws UserFacingError for anything but an unencrypted P-256 private
    /// key; an encrypted key is refused without ever asking for a password.
    static SigningKey fromPem(const QByteArray& pem);

    /// The raw 64-byte signature of `data`. Throws UserFacingError when signing fails.
    QByteArray sign(const QByteArray& data) const;

    /// The signature in DER (an ASN.1 SEQUENCE of two INTEGERs) turned into r||s, each padded to
    /// 32 bytes. Empty when the DER does not hold such a signature.
    static QByteArray rawSignature(const QByteArray& der);

    /// How many signatures this process has made; the provider token cache is judged by it.
    static long long signatureCount() { return s_signatures.load(); }

private:
    struct Free {
        void operator()(EVP_PKEY* key) const;
    };
    explicit SigningKey(EVP_PKEY* key)
        : m_key(key, Free{}) {}

    std::shared_ptr<EVP_PKEY> m_key;
    static inline std::atomic<long long> s_signatures{0};
};

} // namespace quorvex
