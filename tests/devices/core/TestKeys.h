#pragma once

#include <QByteArray>

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>
#include <stdexcept>

namespace quorvex::test {

/// Keys made with OpenSSL for the tests: no key file is checked in.
struct TestKey {
    QByteArray privatePem; // PKCS #8, as in a .p8 file
    QByteArray publicPem;
};

inline TestKey makeKey(const char* type, const char* parameter, const char* password = nullptr) {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        std::string_view(type) == "RSA" ? EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t(2048))
                                        : EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", parameter),
        EVP_PKEY_free);
    if (!key)
        throw std::runtime_error("key generation failed");
    const auto write = [&](bool isPublic) {
        std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
        if (isPublic)
            PEM_write_bio_PUBKEY(bio.get(), key.get());
        else if (password)
            PEM_write_bio_PKCS8PrivateKey(bio.get(), key.get(), EVP_aes_256_cbc(), nullptr, 0, nullptr,
                                          const_cast<char*>(password));
        else
            PEM_write_bio_PKCS8PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr);
        char* data = nullptr;
        const long length = BIO_get_mem_data(bio.get(), &data);
        return QByteArray(data, qsizetype(length));
    };
    return {write(false), write(true)};
}

inline TestKey makeP256Key() {
    return makeKey("EC", "P-256");
}

} // namespace quorvex::test
