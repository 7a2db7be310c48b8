#pragma once

#include <string>
#include <string_view>

namespace vorn::test {

// An Ed25519 key pair made for one test.
class SigningKey {
public:
    SigningKey();
    ~SigningKey();
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    // Base64 of the 32 raw bytes of the public key, as a build names it.
    std::string publicKeyBase64() const;
    // Base64 of the 64-byte signature of the bytes, as a feed carries it.
    std::string signBase64(std::string_view bytes) const;

private:
    void* m_key = nullptr;
};

std::string base64(std::string_view bytes);

}  // namespace vorn::test
