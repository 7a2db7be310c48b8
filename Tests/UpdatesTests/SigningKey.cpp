#include "SigningKey.h"

#include <stdexcept>

#include <openssl/evp.h>

namespace vorn::test {

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

SigningKey::SigningKey() {
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    EVP_PKEY* key = nullptr;
    if (context == nullptr || EVP_PKEY_keygen_init(context) != 1
        || EVP_PKEY_keygen(context, &key) != 1) {
        EVP_PKEY_CTX_free(context);
        throw std::runtime_error("no Ed25519 key");
    }
    EVP_PKEY_CTX_free(context);
    m_key = key;
}

SigningKey::~SigningKey() {
    EVP_PKEY_free(static_cast<EVP_PKEY*>(m_key));
}

std::string SigningKey::publicKeyBase64() const {
    std::string raw(32, '\0');
    std::size_t length = raw.size();
    EVP_PKEY_get_raw_public_key(static_cast<EVP_PKEY*>(m_key),
                                reinterpret_cast<unsigned char*>(raw.data()), &length);
    return base64(raw);
}

std::string SigningKey::signBase64(std::string_view bytes) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::string signature(64, '\0');
    std::size_t length = signature.size();
    EVP_DigestSignInit(context, nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(m_key));
    EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                   reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    EVP_MD_CTX_free(context);
    return base64(signature);
}

}  // namespace vorn::test
