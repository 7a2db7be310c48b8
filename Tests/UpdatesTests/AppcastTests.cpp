#include <fstream>

#include <gtest/gtest.h>

#include "Appcast.h"
#include "Installer.h"
#include "Signature.h"
#include "SigningKey.h"
#include "TempDir.h"
#include "UpdateWrapper.h"
#include "Version.h"

namespace vorn::updates {
namespace {

TEST(VersionTests, ComparesComponentByComponent) {
    struct Case {
        const char* a;
        const char* b;
        std::optional<int> order;
    };
    const Case cases[] = {
        {"2", "1", 1},
        {"1.10", "1.9", 1},  // numbers, not text
        {"1.2", "1.2.0", 0},
        {"1.02", "1.2", 0},
        {"1.2.1", "1.2", 1},
        {"99999999999999999999999", "99999999999999999999998", 1},  // beyond 64 bits
        {"1.0", "1.0.1", -1},
        {"1.a", "1", std::nullopt},
        {"1..2", "1", std::nullopt},
        {"", "1", std::nullopt},
        {"-1", "1", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compareVersions(c.a, c.b), c.order) << c.a << " vs " << c.b;
    }
}

std::string feedWith(const std::string& items) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:vorn="urn:vorn:update"><channel><title>Vorn</title>)"
           + items + "</channel></rss>";
}

TEST(AppcastTests, ReadsItemsAndSkipsIncompleteOnes) {
    const Appcast appcast = parseAppcast(feedWith(R"(
        <item><title>Vorn 2.0</title><vorn:buildVersion>57</vorn:buildVersion>
          <vorn:displayVersion>2.0</vorn:displayVersion>
          <enclosure url="https://example.invalid/Vorn-2.0.AppImage" length="1234"
                     type="application/octet-stream" vorn:edSignature="c2ln"/></item>
        <item><vorn:buildVersion>58</vorn:buildVersion>
          <enclosure url="b.AppImage" length="10" vorn:edSignature="c2ln"/></item>
        <item><vorn:buildVersion>59</vorn:buildVersion>
          <enclosure url="c" length="10"/></item>
        <item><vorn:buildVersion>beta</vorn:buildVersion>
          <enclosure url="d" length="10" vorn:edSignature="c2ln"/></item>
        <item><vorn:buildVersion>60</vorn:buildVersion>
          <enclosure url="e" length="99999999999999" vorn:edSignature="c2ln"/></item>
        <item><vorn:buildVersion>61</vorn:buildVersion>
          <enclosure url="f" length="12x" vorn:edSignature="c2ln"/></item>
        <item><buildVersion>62</buildVersion>
          <enclosure url="g" length="10" vorn:edSignature="c2ln"/></item>)"));
    ASSERT_FALSE(appcast.error);
    ASSERT_EQ(appcast.items.size(), 2U);
    EXPECT_EQ(appcast.items[0].title, "Vorn 2.0");
    EXPECT_EQ(appcast.items[0].buildVersion, "57");
    EXPECT_EQ(appcast.items[0].displayVersion, "2.0");
    EXPECT_EQ(appcast.items[0].url, "https://example.invalid/Vorn-2.0.AppImage");
    EXPECT_EQ(appcast.items[0].length, 1234U);
    EXPECT_EQ(appcast.items[0].edSignature, "c2ln");
    // No display version: the build version stands in.
    EXPECT_EQ(appcast.items[1].displayVersion, "58");
    // No signature, a version that is no number, an absurd and a malformed length, and an
    // element outside the feed's namespace.
    EXPECT_EQ(appcast.skipped.size(), 5U);
}

TEST(AppcastTests, RejectsWhatIsNoFeed) {
    const char* documents[] = {
        "not xml at all",
        "",
        "<rss><channel><item>",  // cut short
        R"(<feed xmlns="http://www.w3.org/2005/Atom"/>)",
        R"(<?xml version="1.0"?><!DOCTYPE rss [<!ENTITY a "aaaa">]><rss/>)",
    };
    for (const char* document : documents) {
        const Appcast appcast = parseAppcast(document);
        EXPECT_TRUE(appcast.error.has_value()) << document;
        EXPECT_TRUE(appcast.items.empty()) << document;
    }
    EXPECT_TRUE(parseAppcast(std::string(largestAppcast + 1, ' ')).error.has_value());
}

TEST(SignatureTests, HoldsOnlyForTheSignedBytesAndTheRightKey) {
    test::TempDir dir;
    const test::SigningKey key;
    const test::SigningKey other;
    const std::string bytes = "the package's bytes";
    test::writeText(dir / "package", bytes);
    const std::string signature = key.signBase64(bytes);

    EXPECT_FALSE(verifyEd25519(dir / "package", signature, key.publicKeyBase64()));
    struct Case {
        std::string signature;
        std::string key;
        std::filesystem::path file;
        long code;
    };
    const Case cases[] = {
        {signature, other.publicKeyBase64(), dir / "package", signatureMismatch},
        {other.signBase64(bytes), key.publicKeyBase64(), dir / "package", signatureMismatch},
        {signature, key.publicKeyBase64(), dir / "missing", unreadablePackage},
        {"c2ln", key.publicKeyBase64(), dir / "package", unusableSignature},
        {signature, "not base64!", dir / "package", unusablePublicKey},
        {signature, test::base64(std::string(31, 'k')), dir / "package", unusablePublicKey},
    };
    for (const Case& c : cases) {
        const auto error = verifyEd25519(c.file, c.signature, c.key);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->domain, signatureErrorDomain);
        EXPECT_EQ(error->code, c.code);
    }
    test::writeText(dir / "package", bytes + "!");
    EXPECT_TRUE(verifyEd25519(dir / "package", signature, key.publicKeyBase64()));
}

TEST(SignatureTests, DecodesStandardBase64Only) {
    EXPECT_EQ(decodeBase64("aGk="), std::optional<std::string>("hi"));
    EXPECT_EQ(decodeBase64("aGlq"), std::optional<std::string>("hij"));
    EXPECT_FALSE(decodeBase64("aGk"));
    EXPECT_FALSE(decodeBase64("a=Gk"));
    EXPECT_FALSE(decodeBase64("aG!k"));
}

TEST(InstallerTests, NeverOverwritesWhatIsInTheDownloadFolder) {
    test::TempDir dir;
    const InstallTargets targets{std::nullopt, dir / "Downloads"};
    std::filesystem::create_directories(targets.downloadDirectory);
    test::writeText(dir / "Downloads" / "Vorn-2.0.tar.gz", "the user's own");
    test::writeText(dir / "package", "new");

    const InstallOutcome outcome = installPackage(dir / "package", targets, "Vorn-2.0.tar.gz");
    ASSERT_TRUE(outcome.installation.has_value());
    EXPECT_EQ(outcome.installation->path, dir / "Downloads" / "Vorn-2.0 (2).tar.gz");
    EXPECT_EQ(test::readText(outcome.installation->path), "new");
    EXPECT_EQ(test::readText(dir / "Downloads" / "Vorn-2.0.tar.gz"), "the user's own");
    EXPECT_FALSE(std::filesystem::exists(dir / "package"));
}

TEST(InstallerTests, PackageNamesComeFromTheAddress) {
    EXPECT_EQ(packageFileName("https://h/x/Vorn-2.0.AppImage?sig=1", "f"), "Vorn-2.0.AppImage");
    EXPECT_EQ(packageFileName("https://h/x/..", "f"), "f");
    EXPECT_EQ(packageFileName("https://h/x/.hidden name", "f"), "hidden_name");
    EXPECT_EQ(packageFileName("https://h/", "f"), "f");
}

TEST(ErrorChainTests, WalksCausesOnceEach) {
    UpdateError outer{"A", 4, "outer", nullptr};
    EXPECT_EQ(errorChain(outer), "A:4");
    outer.underlying = std::make_shared<UpdateError>(UpdateError{"B", -1, "inner", nullptr});
    EXPECT_EQ(errorChain(outer), "A:4<-B:-1");
    // A cause that names its own parent: the walk stops where it began again.
    auto first = std::make_shared<UpdateError>(UpdateError{"C", 1, "", nullptr});
    auto second = std::make_shared<UpdateError>(UpdateError{"D", 2, "", first});
    first->underlying = second;
    EXPECT_EQ(errorChain(*first), "C:1<-D:2");
    first->underlying.reset();
}

}  // namespace
}  // namespace vorn::updates
