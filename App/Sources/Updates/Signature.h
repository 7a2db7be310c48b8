#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "UpdateError.h"

namespace vorn::updates {

// Errors of the signature check, the cause below a signatureError.
inline constexpr char signatureErrorDomain[] = "org.vorn.update.signature";

enum SignatureErrorCode : long {
    unusablePublicKey = 1,
    unusableSignature = 2,
    unreadablePackage = 3,
    signatureMismatch = 4,
};

// The bytes of standard base64 text (padding required, white space not allowed), or no value.
std::optional<std::string> decodeBase64(std::string_view text);

// Whether the text is the base64 form of a 32-byte Ed25519 public key.
bool isUsablePublicKey(std::string_view publicKeyBase64);

// Checks the Ed25519 signature (base64 of 64 bytes) over the whole file against the public
// key (base64 of its 32 raw bytes); no value when it holds, else what failed.
std::optional<UpdateError> verifyEd25519(const std::filesystem::path& file,
                                         std::string_view signatureBase64,
                                         std::string_view publicKeyBase64);

}  // namespace vorn::updates
