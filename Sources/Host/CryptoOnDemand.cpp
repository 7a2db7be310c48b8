// libcrypto's functions as this program calls them, each opening libcrypto at its first use:
// only the analytics client (with the user's consent) and the check of a downloaded update need
// it, so a program that does neither never loads it.

#include "OnDemandLibrary.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace {

template <typename Function>
Function* crypto(const char* name) {
    static vorn::host::OnDemandLibrary library("libcrypto.so.3");
    return library.function<Function>(name);
}

}  // namespace

int OPENSSL_init_crypto(uint64_t options, const OPENSSL_INIT_SETTINGS* settings) {
    static auto* const real = crypto<decltype(OPENSSL_init_crypto)>("OPENSSL_init_crypto");
    return real != nullptr ? real(options, settings) : 0;
}

int EVP_Digest(const void* data,
               size_t count,
               unsigned char* digest,
               unsigned int* size,
               const EVP_MD* type,
               ENGINE* engine) {
    static auto* const real = crypto<decltype(EVP_Digest)>("EVP_Digest");
    return real != nullptr ? real(data, count, digest, size, type, engine) : 0;
}

const EVP_MD* EVP_sha256() {
    static auto* const real = crypto<decltype(EVP_sha256)>("EVP_sha256");
    return real != nullptr ? real() : nullptr;
}

int RAND_bytes(unsigned char* bytes, int count) {
    static auto* const real = crypto<decltype(RAND_bytes)>("RAND_bytes");
    return real != nullptr ? real(bytes, count) : 0;
}

EVP_PKEY* EVP_PKEY_new_raw_public_key(int type,
                                      ENGINE* engine,
                                      const unsigned char* key,
                                      size_t length) {
    static auto* const real =
        crypto<decltype(EVP_PKEY_new_raw_public_key)>("EVP_PKEY_new_raw_public_key");
    return real != nullptr ? real(type, engine, key, length) : nullptr;
}

void EVP_PKEY_free(EVP_PKEY* key) {
    static auto* const real = crypto<decltype(EVP_PKEY_free)>("EVP_PKEY_free");
    if (real != nullptr) {
        real(key);
    }
}

int EVP_DecodeBlock(unsigned char* to, const unsigned char* from, int length) {
    static auto* const real = crypto<decltype(EVP_DecodeBlock)>("EVP_DecodeBlock");
    return real != nullptr ? real(to, from, length) : -1;
}

EVP_MD_CTX* EVP_MD_CTX_new() {
    static auto* const real = crypto<decltype(EVP_MD_CTX_new)>("EVP_MD_CTX_new");
    return real != nullptr ? real() : nullptr;
}

void EVP_MD_CTX_free(EVP_MD_CTX* context) {
    static auto* const real = crypto<decltype(EVP_MD_CTX_free)>("EVP_MD_CTX_free");
    if (real != nullptr) {
        real(context);
    }
}

int EVP_DigestVerifyInit(EVP_MD_CTX* context,
                         EVP_PKEY_CTX** keyContext,
                         const EVP_MD* type,
                         ENGINE* engine,
                         EVP_PKEY* key) {
    static auto* const real = crypto<decltype(EVP_DigestVerifyInit)>("EVP_DigestVerifyInit");
    return real != nullptr ? real(context, keyContext, type, engine, key) : 0;
}

int EVP_DigestVerify(EVP_MD_CTX* context,
                     const unsigned char* signature,
                     size_t signatureLength,
                     const unsigned char* data,
                     size_t dataLength) {
    static auto* const real = crypto<decltype(EVP_DigestVerify)>("EVP_DigestVerify");
    return real != nullptr ? real(context, signature, signatureLength, data, dataLength) : 0;
}
