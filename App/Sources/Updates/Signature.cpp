#include "Signature.h"

#include <memory>

#include "Crypto.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorn::updates {
namespace {

constexpr std::size_t publicKeyBytes = 32;
constexpr std::size_t signatureBytes = 64;

UpdateError signatureFailure(long code, std::string description) {
    return UpdateError{signatureErrorDomain, code, std::move(description), nullptr};
}

// The file's bytes mapped read-only; Ed25519 signs a message whole, so it cannot be streamed.
class MappedFile {
public:
    explicit MappedFile(const std::filesystem::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            m_size = static_cast<std::size_t>(info.st_size);
            m_readable = true;
            if (m_size > 0) {
                void* data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
                if (data == MAP_FAILED) {
                    m_readable = false;
                } else {
                    m_data = data;
                }
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (m_data != nullptr) {
            ::munmap(m_data, m_size);
        }
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool readable() const { return m_readable; }
    const unsigned char* data() const { return static_cast<const unsigned char*>(m_data); }
    std::size_t size() const { return m_size; }

private:
    void* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_readable = false;
};

using PublicKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;

PublicKey loadPublicKey(std::string_view base64) {
    const auto raw = decodeBase64(base64);
    if (!raw || raw->size() != publicKeyBytes) {
        return {nullptr, &EVP_PKEY_free};
    }
    host::initialiseOpenSSL();
    return {EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                        reinterpret_cast<const unsigned char*>(raw->data()),
                                        raw->size()),
            &EVP_PKEY_free};
}

}  // namespace

std::optional<std::string> decodeBase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out(text.size() / 4 * 3, '\0');
    const int written = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(text.data()),
                                        static_cast<int>(text.size()));
    if (written < 0) {
        return std::nullopt;
    }
    // The block decoder writes whole groups of three; padding marks the bytes that are not
    // part of the data. Padding anywhere but at the end is not base64.
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    if (text.substr(0, text.size() - padding).find('=') != std::string_view::npos) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(written) - padding);
    return out;
}

bool isUsablePublicKey(std::string_view publicKeyBase64) {
    return loadPublicKey(publicKeyBase64) != nullptr;
}

std::optional<UpdateError> verifyEd25519(const std::filesystem::path& file,
                                         std::string_view signatureBase64,
                                         std::string_view publicKeyBase64) {
    const PublicKey key = loadPublicKey(publicKeyBase64);
    if (!key) {
        return signatureFailure(unusablePublicKey, "the build's public key is not an Ed25519 key");
    }
    const auto signature = decodeBase64(signatureBase64);
    if (!signature || signature->size() != signatureBytes) {
        return signatureFailure(unusableSignature,
                                "the feed's signature is not a base64 Ed25519 signature");
    }
    const MappedFile package(file);
    if (!package.readable()) {
        return signatureFailure(unreadablePackage, "the downloaded package cannot be read");
    }
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free);
    static const unsigned char empty = 0;
    const bool holds =
        context != nullptr
        && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
        && EVP_DigestVerify(
               context.get(), reinterpret_cast<const unsigned char*>(signature->data()),
               signature->size(), package.size() > 0 ? package.data() : &empty, package.size())
               == 1;
    if (!holds) {
        return signatureFailure(signatureMismatch,
                                "the package's Ed25519 signature does not match the build's key");
    }
    return std::nullopt;
}

}  // namespace vorn::updates
