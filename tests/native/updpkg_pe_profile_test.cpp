// updpkg's readers of what SETUP.EXE reads through Windows: the version
// resource of an executable and SETUP.INI (rules shared with SETUP.EXE),
// and the place of the vendor's key in SETUP.EXE.
#include <gtest/gtest.h>

#include <cstring>

#include "app/setup_description.h"
#include "app/trusted_key.h"
#include "tests/support/pe_image.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/pe_version.h"
#include "app/profile.h"
#include "tools/updpkg/setup_ini.h"
#include "tools/updpkg/pe_image.h"
#include "tools/updpkg/setup_key.h"

using testsupport::MakePe;
using testsupport::PeOptions;

TEST(PeVersion, ReadsTheFixedBlockOfBothImageKinds) {
    for (bool pe64 : {false, true}) {
        PeOptions o;
        o.pe64 = pe64;
        o.ms = 0x00070005;
        o.ls = 0x0001FFFF;
        const auto v = updpkg::ReadPeFileVersion(MakePe(o));
        ASSERT_TRUE(v) << pe64;
        EXPECT_EQ(v->ms, 0x00070005u);
        EXPECT_EQ(v->ls, 0x0001FFFFu);
        EXPECT_EQ(v->Text(), "7.5.1.65535");
    }
}

TEST(PeVersion, NoVersionWhereSetupFindsNone) {
    PeOptions none;
    none.version = false;
    EXPECT_FALSE(updpkg::ReadPeFileVersion(MakePe(none)));
    PeOptions shortBlock;
    shortBlock.valueLength = 48;  // VerQueryValue gives 48 bytes; SETUP.EXE wants the 52
    EXPECT_FALSE(updpkg::ReadPeFileVersion(MakePe(shortBlock)));
    PeOptions icon;
    icon.resourceType = 3;
    EXPECT_FALSE(updpkg::ReadPeFileVersion(MakePe(icon)));
    EXPECT_FALSE(updpkg::ReadPeFileVersion(""));
    EXPECT_FALSE(updpkg::ReadPeFileVersion("MZ this is text"));

    std::string badSignature = MakePe();
    badSignature[0x200 + 0x58 + 40] ^= 1;
    EXPECT_FALSE(updpkg::ReadPeFileVersion(badSignature));
    std::string badOffset = MakePe();
    testsupport::Put32(badOffset, 0x3C, 0xFFFFFFF0u);
    EXPECT_FALSE(updpkg::ReadPeFileVersion(badOffset));
    std::string loopingDir = MakePe();
    testsupport::Put32(loopingDir, 0x200 + 20, 0x80000000u | 0x7FFFFFF0u);  // a subdirectory far outside
    EXPECT_FALSE(updpkg::ReadPeFileVersion(loopingDir));
}

TEST(PeVersion, StringTable) {
    PeOptions o;
    o.strings = {{u"ProductName", u"\u30A2\u30C3\u30D7"}, {u"InternalName", u"SETUP"}};
    const std::string pe = MakePe(o);
    EXPECT_EQ(updpkg::ReadPeVersionString(pe, "productname"), "\xE3\x82\xA2\xE3\x83\x83\xE3\x83\x97");
    // The blocks are read whole or not at all: the root block's length is at 0x258.
    const std::size_t whole = 0x258 + (static_cast<unsigned char>(pe[0x258]) | static_cast<unsigned char>(pe[0x259]) << 8);
    for (std::size_t n = 0; n < pe.size(); ++n) {
        EXPECT_EQ(updpkg::ReadPeVersionString(pe.substr(0, n), "InternalName").value_or("-"), n < whole ? "-" : "SETUP")
            << n;
    }
}

TEST(PeVersion, EveryCutOfAnImageIsReadSafely) {
    const std::string whole = MakePe();
    const std::size_t needed = 0x200 + 0x58 + 92;  // the end of the version block
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const auto v = updpkg::ReadPeFileVersion(whole.substr(0, n));
        EXPECT_EQ(v.has_value(), n >= needed) << n;
    }
}

TEST(SetupKeySlot, FoundByItsSectionWrittenAndAuthenticodeSeen) {
    EXPECT_FALSE(updpkg::FindKeySlot(MakePe()));
    std::string image = testsupport::MakePeWithKeySlot();
    const std::size_t checksum = 0x58 + 64, certificates = 0x58 + 96 + 4 * 8;
    const auto slot = updpkg::FindKeySlot(image);
    ASSERT_TRUE(slot);
    EXPECT_EQ(slot->offset, image.size() - 0x200);  // the second section, after the resources
    EXPECT_FALSE(slot->key);

    crypto::PublicKey key;
    key.fill(0x5A);
    testsupport::Put32(image, checksum, 1);  // as the linker leaves one
    updpkg::PutKey(image, *slot, key);
    EXPECT_EQ(updpkg::FindKeySlot(image)->key, key);
    EXPECT_EQ(image.compare(slot->offset + trustedkey::kPointAt, 64, std::string(64, 0x5A)), 0);
    EXPECT_EQ(static_cast<unsigned char>(image[checksum]) | static_cast<unsigned char>(image[checksum + 1]) << 8 |
                  static_cast<unsigned char>(image[checksum + 2]) << 16,
              updpkg::PeChecksum(image, checksum));

    EXPECT_FALSE(updpkg::IsAuthenticodeSigned(image));
    testsupport::Put32(image, certificates + 4, 0x100);
    EXPECT_TRUE(updpkg::IsAuthenticodeSigned(image));
    image[slot->offset] ^= 1;  // no marker: no place for a key
    EXPECT_FALSE(updpkg::FindKeySlot(image));
}

namespace {

setupini::Description Describe(const std::string& text) { return updpkg::DescribeSetupIni(text); }

}  // namespace

TEST(SetupIniRules, FaultLinesInSetupsOrder) {
    const auto d = Describe(
        "[COMPONENTS]\r\nTWO=a,b\r\nOK=a,C:\\,0\r\nTWOCOMMAS=,,\r\nFOUR=a,b,c,d\r\nNUM=a,C:\\b,12abc\r\n"
        "[PRODUCT]\r\nPRODUCT_NAME=\r\nPACKAGE=P.PKG\r\n");
    EXPECT_EQ(d.faults,
              "[PRODUCT] PRODUCT_NAME\r\n[PRODUCT] PRODUCT_VERSION\r\n[COMPONENTS] TWO\r\n"
              "[COMPONENTS] TWOCOMMAS\r\n[COMPONENTS] FOUR\r\n");
    EXPECT_EQ(setupini::FaultLines(d.faults).size(), 5u);
    ASSERT_EQ(d.components.size(), 2u);
    EXPECT_EQ(d.components[0].key, "OK");
    EXPECT_EQ(d.components[1].value, 12);
    EXPECT_EQ(d.package, "P.PKG");
    // A missing file: both product lines and nothing else.
    EXPECT_EQ(Describe("").faults, "[PRODUCT] PRODUCT_NAME\r\n[PRODUCT] PRODUCT_VERSION\r\n");
}

TEST(SetupIniRules, PlacesAreTheProductsOrADrivesAndNamesArePlain) {
    // The rules judge the values as they read (UTF-8, from SETUP.INI's code page 932).
    for (const char* d : {"<TARGETDIR>", "<SYSTEMDIR>\\", "<TARGETDIR>\\A\\\\B\\", "<TARGETDIR>\\表\\ b", "C:\\", "d:\\A"})
        EXPECT_EQ(setupini::DestinationFault(d), "") << d;
    for (const char* d : {"", "A", "<TARGETDIRR>", "<TARGETDIR>X", "<targetdir>", "<TARGETDIR><SYSTEMDIR>", "C:", "C:A", "\\A",
                          "<TARGETDIR>\\<PRODUCT_NAME>", "<TARGETDIR>/A", "<TARGETDIR>\\A/B", " <TARGETDIR>", "\\\\s\\share",
                          "\\\\?\\C:\\x", "\\\\.\\NUL", "<TARGETDIR>\\..\\x", "<TARGETDIR>\\.", "C:\\x\\CON", "<SYSTEMDIR>\\nul.txt",
                          "C:\\CONIN$", "C:\\a:b", "C:\\a.", "C:\\a ", "C:\\a|b", "C:\\a\tb", "C:\\\xED\x95\x9C"})
        EXPECT_NE(setupini::DestinationFault(d), "") << d;
    for (const char* s : {"APP", "APP\\表\\SUB", "表", " A"}) EXPECT_EQ(setupini::SourceFault(s), "") << s;
    for (const char* s : {"", "..\\..\\AdminOnly", ".", "APP\\", "\\APP", "APP\\\\SUB", "A\\.\\B", "COM1", "APP ", "A/B",
                          "<TARGETDIR>", "C:\\APP", "A?P"})
        EXPECT_NE(setupini::SourceFault(s), "") << s;
    for (const char* p : {"", "ZOMI7UPD.PKG", "表.PKG"}) EXPECT_EQ(setupini::PackageFault(p), "") << p;
    for (const char* p : {"..\\users\\Public\\other.pkg", "SUB\\X.PKG", "P<PRODUCT_VERSION>.PKG", "C:\\X.PKG", "NUL", "X.", ".."})
        EXPECT_NE(setupini::PackageFault(p), "") << p;
}

TEST(SetupIniRules, ReaderDetailsThatChangeWhatSetupDoes) {
    // A line without "=" is no component at all, nor is a ";" line; "#" is
    // no comment, and a full-width blank is no blank.
    const auto d = Describe(
        "[PRODUCT]\nPRODUCT_NAME=\"Zomi 7\"\nPRODUCT_VERSION=  7.5.2.0  \n"
        "[COMPONENTS]\nstray words\n;OLD=a,b,1\n#X=a,C:\\b,1\n APP = APP , <TARGETDIR> , 1 \n\x81\x40W=a,b\n");
    EXPECT_EQ(d.productName, "Zomi 7");
    EXPECT_EQ(d.productVersion, "7.5.2.0");
    // Blanks around commas belong to the parts: "APP " is no folder name.
    EXPECT_EQ(d.faults, "[COMPONENTS] APP\r\n[COMPONENTS] 　W\r\n");
    ASSERT_EQ(d.components.size(), 1u);
    EXPECT_EQ(d.components[0].key, "#X");

    const setupini::ProfileFile f(
        "[PRODUCT]\nPRODUCT_NAME=first\n[product]\nPRODUCT_NAME=second\nPACKAGE=x\n"
        "[\x83\x5D]\nK=\x83\x5D\n");  // ゾ: its second byte is "]"
    EXPECT_EQ(f.Get("PRODUCT", "product_name"), "first");
    EXPECT_EQ(f.Get("PRODUCT", "PACKAGE"), "");  // only the first section of a name is read
    EXPECT_EQ(f.Get("\x83\x5D", "K"), "\x83\x5D");
    EXPECT_EQ(f.KeyList("nothing"), std::string(1, '\0'));
}

TEST(SetupIniForMedium, ConvertsToCodePage932WithCrlf) {
    // "[PRODUCT]\nPRODUCT_NAME=ゾミ７\rPRODUCT_VERSION=7\r\n" in UTF-8 with a byte order mark.
    const std::string utf8 =
        "\xEF\xBB\xBF[PRODUCT]\nPRODUCT_NAME=\xE3\x82\xBE\xE3\x83\x9F\xEF\xBC\x97\rPRODUCT_VERSION=7\r\n";
    const std::string out = updpkg::MediumSetupIni(utf8, "SETUP.INI");
    EXPECT_EQ(out, "[PRODUCT]\r\nPRODUCT_NAME=\x83\x5D\x83\x7E\x82\x56\r\nPRODUCT_VERSION=7\r\n");
    // Code page 932 input stays as it is but for the line ends.
    EXPECT_EQ(updpkg::MediumSetupIni("A=\x83\x5D\x83\x7E\n", "SETUP.INI"), "A=\x83\x5D\x83\x7E\r\n");
    // Neither: a lone lead byte at the end.
    EXPECT_THROW(updpkg::MediumSetupIni("A=\x83", "SETUP.INI"), updpkg::FileError);
    // UTF-8 with a character code page 932 lacks (an emoji).
    EXPECT_THROW(updpkg::MediumSetupIni("A=\xF0\x9F\x98\x80\n", "SETUP.INI"), updpkg::FileError);
    EXPECT_FALSE(updpkg::HasUtf8Mark(out));
}
