// Signed media through the system's library: libcrypto natively, CNG under
// Wine (the same tests judge both), the key files and SETUP.SIG.
#include <gtest/gtest.h>

#include "app/medium_signature.h"
#include "util/crypto.h"

using namespace crypto;

namespace {

Digest DigestOf(const std::string& s) { return Sha256Of(s.data(), s.size()); }

const PrivateKey& TestKey() {
    static const PrivateKey key = GenerateKey();
    return key;
}

}  // namespace

TEST(Crypto, Sha256KnownAnswers) {
    EXPECT_EQ(ToHex(DigestOf("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(ToHex(DigestOf("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Sha256 pieces;  // a million a's, fed in uneven pieces
    const std::string block(777, 'a');
    for (int done = 0; done < 1000000; done += 777) pieces.Update(block.data(), std::min(777, 1000000 - done));
    EXPECT_EQ(ToHex(pieces.Final()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Crypto, OnlyTheKeysSignatureOfTheDigestVerifies) {
    // Made by the openssl command: another library's signature verifies here.
    PublicKey known;
    Signature knownSig;
    ASSERT_TRUE(FromHex("a11159652a57d8c775653c6680a4d5618b7c9d7c8a284952c4da67e5981366e6"
                        "b275da8e28e59253944120e1de131e5a921cc9b8f3c54601a58ae26410a32128",
                        known));
    ASSERT_TRUE(FromHex("cc77633766e9da6a10959c9e48d9eac8c801fa68c74aaecf62870aab125c5f01"
                        "a4c3322052129001cdba6ab0745cccee9b775b1681a773085b6f3c6b4b170b3c",
                        knownSig));
    EXPECT_TRUE(Verify(known, DigestOf("SETUP.SIG known answer"), knownSig));
    EXPECT_FALSE(Verify(known, DigestOf("SETUP.SIG known answer!"), knownSig));

    const PrivateKey& key = TestKey();
    const PrivateKey other = GenerateKey();
    const Digest digest = DigestOf("the signed text");
    const Signature sig = Sign(key, digest);
    EXPECT_TRUE(Verify(key.point, digest, sig));
    EXPECT_FALSE(Verify(other.point, digest, sig));
    EXPECT_FALSE(Verify(key.point, DigestOf("another text"), sig));
    EXPECT_FALSE(Verify(key.point, digest, Signature{}));
    PublicKey offCurve = key.point;
    offCurve[63] ^= 1;
    EXPECT_FALSE(Verify(offCurve, digest, sig));
}

TEST(KeyFiles, ReadAsWrittenAndRefusedWhenAnythingIsOff) {
    const PrivateKey& key = TestKey();
    std::string why;
    const std::string priv = FormatPrivateKeyFile(key), pub = FormatPublicKeyFile(key.point);
    const auto readPriv = ParsePrivateKeyFile(priv, why);
    ASSERT_TRUE(readPriv) << why;
    EXPECT_EQ(readPriv->scalar, key.scalar);
    EXPECT_EQ(ParsePublicKeyFile(pub, why), key.point);
    // A file moved through Windows keeps its meaning.
    std::string crlf;
    for (char c : pub) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ParsePublicKeyFile(crlf, why), key.point);
    EXPECT_EQ(KeyId(key.point).size(), 16u);

    const PrivateKey other = GenerateKey();
    auto replaced = [&](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"public file as private", pub},
        {"another key's scalar", replaced(priv, ToHex(key.scalar), ToHex(other.scalar))},
        {"another key's ID", replaced(priv, KeyId(key.point), KeyId(other.point))},
        {"upper-case digits", replaced(priv, ToHex(key.point), ToHex(key.point).substr(0, 127) + "A")},
        {"a line more", priv + "comment x\n"},
        {"first line changed", replaced(priv, "P-256", "P-384")},
    };
    for (const auto& [what, text] : bad) {
        why.clear();
        EXPECT_FALSE(ParsePrivateKeyFile(text, why)) << what;
        EXPECT_FALSE(why.empty()) << what;
    }
    EXPECT_FALSE(ParsePublicKeyFile(priv, why));
}

TEST(SetupSig, EveryByteOfASignedListMatters) {
    const PrivateKey& key = TestKey();
    const std::vector<mediumsig::SignedFile> files = {{147, DigestOf("ini"), "SETUP.INI"},
                                                      {98813, DigestOf("pkg"), "ZOMI7UPD.PKG"}};
    const std::string text = mediumsig::Format(files, key);
    std::string why;
    const auto content = mediumsig::CheckSigned(text, key.point, why);
    ASSERT_TRUE(content) << why;
    EXPECT_EQ(content->keyId, KeyId(key.point));
    ASSERT_EQ(content->files.size(), 2u);
    EXPECT_EQ(content->files[1].name, "ZOMI7UPD.PKG");
    EXPECT_EQ(content->files[1].size, 98813u);
    EXPECT_EQ(content->files[1].sha256, DigestOf("pkg"));

    for (std::size_t i = 0; i < text.size(); ++i) {
        for (unsigned char flip : {0x01, 0x20}) {
            std::string changed = text;
            changed[i] = static_cast<char>(changed[i] ^ flip);
            EXPECT_FALSE(mediumsig::CheckSigned(changed, key.point, why)) << "byte " << i << " ^ " << int(flip);
        }
    }
    EXPECT_FALSE(mediumsig::CheckSigned(text, GenerateKey().point, why));
    EXPECT_NE(why.find("SETUP.EXE trusts key"), std::string::npos) << why;
    EXPECT_FALSE(mediumsig::CheckSigned(text.substr(0, text.size() - 2), key.point, why));
    EXPECT_FALSE(mediumsig::CheckSigned(text + "x", key.point, why));
}

TEST(SetupSig, ParserBoundsItsCostAndTakesOneSpellingOnly) {
    const std::string head = "KVSIG 1\r\nkey 0123456789abcdef\r\n";
    const std::string sig = "sig " + std::string(128, '0') + "\r\n";
    const std::string hash(64, 'a');
    std::string why;
    EXPECT_TRUE(mediumsig::Parse(head + "file 0 " + hash + " SETUP.INI\r\n" + sig, why)) << why;
    const std::vector<std::pair<const char*, std::string>> bad = {
        {"leading zero", head + "file 01 " + hash + " SETUP.INI\r\n" + sig},
        {"size past 64 bits", head + "file 18446744073709551616 " + hash + " A\r\n" + sig},
        {"no name", head + "file 1 " + hash + " \r\n" + sig},
        {"a control byte in the name", head + "file 1 " + hash + " A\tB\r\n" + sig},
        {"a lone LF", head + "file 1 " + hash + " A\nB\r\n" + sig},
        {"not UTF-8", head + "file 1 " + hash + " \x82\xa0\r\n" + sig},
        {"a long line", head + "file 1 " + hash + " " + std::string(mediumsig::kMaxLine, 'n') + "\r\n" + sig},
        {"too large", head + std::string(mediumsig::kMaxBytes, ' ')},
        {"no sig line", head + "file 1 " + hash + " A\r\n"},
        {"unknown line", head + "note x\r\n" + sig},
    };
    for (const auto& [what, text] : bad) EXPECT_FALSE(mediumsig::Parse(text, why)) << what;
}

TEST(SetupSig, TheListMustCoverWhatSetupIniDescribes) {
    auto index = [](std::vector<std::string> names, mediumsig::SignedFiles& files, std::string& why) {
        mediumsig::Content c;
        for (const std::string& n : names) c.files.push_back({1, Digest{}, n});
        return files.Index(c, why);
    };
    struct Case {
        std::vector<std::string> names;
        std::string package;
        bool indexed, covers;
    } cases[] = {
        {{"SETUP.INI", "ZOMI7UPD.PKG"}, "zomi7upd.pkg", true, true},
        {{"setup.ini", "FILES\\APP\\a.txt", "FILES\\HELP\\b.txt"}, "", true, true},
        {{"SETUP.INI", "ZOMI7UPD.PKG", "FILES\\a"}, "ZOMI7UPD.PKG", true, false},
        {{"SETUP.INI", "OTHER.PKG"}, "ZOMI7UPD.PKG", true, false},
        {{"SETUP.INI", "SETUP.EXE"}, "", true, false},
        {{"ZOMI7UPD.PKG", "SETUP.INI"}, "ZOMI7UPD.PKG", false, false},
        {{"SETUP.INI", "FILES\\a", "files\\A"}, "", false, false},
        {{"SETUP.INI", "FILES\\..\\..\\x"}, "", false, false},
        {{"SETUP.INI", "C:\\x"}, "", false, false},
    };
    for (const Case& c : cases) {
        mediumsig::SignedFiles files;
        std::string why;
        EXPECT_EQ(index(c.names, files, why), c.indexed) << c.names.back() << ": " << why;
        if (c.indexed) {
            EXPECT_EQ(files.Covers(c.package, why), c.covers) << c.names.back();
        }
    }
}
