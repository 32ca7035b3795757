// updpkg's own SETUP.INI reader against the system's profile reader: every
// file of a corpus of awkward SETUP.INI files must read the same through
// both, value by value, key list by key list, and as SETUP.EXE's description
// with its fault lines.
#include <gtest/gtest.h>

#include "app/setup_description.h"
#include "app/setup_description_win.h"
#include "tests/support/test_util.h"
#include "app/profile.h"

using testsupport::Sjis;

namespace {

struct IniCase {
    const char* name;
    std::string text;  // UTF-8 here, written in code page 932
};

const std::string kGood =
    "[PRODUCT]\r\nPRODUCT_NAME=Zomi7\r\nPRODUCT_VERSION=7.5.2.0\r\nPACKAGE=ZOMI7UPD.PKG\r\n"
    "[COMPONENTS]\r\nAPP=APP,<TARGETDIR>,1\r\nHELP=HELP,<TARGETDIR>\\HELP,2\r\n";

std::vector<IniCase> Corpus() {
    const std::string longValue(5000, 'v');
    const std::string longNames = [] {
        std::string s = "[PRODUCT]\nPRODUCT_NAME=p\nPRODUCT_VERSION=1\n[COMPONENTS]\n";
        for (int i = 0; i < 150; ++i) s += "COMPONENT_NUMBER_" + std::to_string(i) + "=C" + std::to_string(i) + ",<TARGETDIR>,1\n";
        return s;
    }();
    return {
        {"plain", kGood},
        {"lf line ends", "[PRODUCT]\nPRODUCT_NAME=Zomi7\nPRODUCT_VERSION=7.5.2.0\n[COMPONENTS]\nAPP=APP,<TARGETDIR>,1\n"},
        {"cr line ends", "[PRODUCT]\rPRODUCT_NAME=Zomi7\rPRODUCT_VERSION=7.5.2.0\r[COMPONENTS]\rAPP=APP,<TARGETDIR>,1\r"},
        {"lone cr before a later lf", "[PRODUCT]\nPRODUCT_NAME=Zomi7\rPRODUCT_VERSION=7.5.2.0\n[COMPONENTS]\nAPP=A\rB=B,<TARGETDIR>,1\n"},
        {"no final line end", "[PRODUCT]\r\nPRODUCT_NAME=Zomi7\r\nPRODUCT_VERSION=7.5.2.0"},
        {"empty file", ""},
        {"blank lines only", "\r\n\r\n   \r\n\t\r\n"},
        {"lower-case sections and keys", "[product]\nproduct_name=z\nProduct_Version=1\n[components]\napp=APP,<TARGETDIR>,1\n"},
        {"blanks around keys and values", "[PRODUCT]\n  PRODUCT_NAME  =   Zomi 7  \n\tPRODUCT_VERSION\t=\t7.5\t\n[COMPONENTS]\n  APP  =  APP , <TARGETDIR> , 1  \n"},
        {"blanks inside brackets", "[ PRODUCT ]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n[ COMPONENTS]\nAPP=APP,<TARGETDIR>,1\n"},
        {"indented section line", "   [PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n\t[COMPONENTS]\nAPP=APP,<TARGETDIR>,1\n"},
        {"text after the bracket", "[PRODUCT] ; the product\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n[COMPONENTS]x\nAPP=APP,<TARGETDIR>,1\n"},
        {"two closing brackets", "[PRODUCT]]\nPRODUCT_NAME=z\n[PRODUCT] x]\nPRODUCT_VERSION=1\n[PRODUCT]\nPACKAGE=P\n"},
        {"section without closing bracket", "[PRODUCT\nPRODUCT_NAME=z\n[PRODUCT]\nPRODUCT_VERSION=1\n[COMPONENTS\nAPP=APP,<TARGETDIR>,1\n"},
        {"empty section name", "[]\nPRODUCT_NAME=z\n[PRODUCT]\nPRODUCT_VERSION=1\n"},
        {"keys before any section", "PRODUCT_NAME=z\nPRODUCT_VERSION=1\n[PRODUCT]\nPACKAGE=P\n"},
        {"duplicate sections", "[PRODUCT]\nPRODUCT_NAME=first\n[COMPONENTS]\nAPP=APP,<TARGETDIR>,1\n[PRODUCT]\nPRODUCT_VERSION=7.5.2.0\n[COMPONENTS]\nHELP=HELP,<TARGETDIR>,2\n"},
        {"duplicate sections in other case", "[PRODUCT]\nPRODUCT_NAME=first\n[Product]\nPRODUCT_NAME=second\nPRODUCT_VERSION=2\n"},
        {"duplicate keys", "[PRODUCT]\nPRODUCT_NAME=first\nPRODUCT_NAME=second\nproduct_name=third\nPRODUCT_VERSION=1\n[COMPONENTS]\nAPP=APP,<TARGETDIR>,1\nAPP=X\napp=Y,Z\n"},
        {"empty values", "[PRODUCT]\nPRODUCT_NAME=\nPRODUCT_VERSION=   \nPACKAGE=\n[COMPONENTS]\nAPP=\n"},
        {"values in double quotes", "[PRODUCT]\nPRODUCT_NAME=\"Zomi 7\"\nPRODUCT_VERSION=\"\"\nPACKAGE=\"UPD.PKG\n[COMPONENTS]\nAPP=\"APP,<TARGETDIR>,1\"\nB=\"a\"b\",c,1\n"},
        {"values in single quotes", "[PRODUCT]\nPRODUCT_NAME='Zomi 7'\nPRODUCT_VERSION='7.5\"\nPACKAGE='\n[COMPONENTS]\nAPP='APP,<TARGETDIR>,1'\n"},
        {"quotes with blanks outside", "[PRODUCT]\nPRODUCT_NAME=  \"  spaced  \"  \nPRODUCT_VERSION=\" 1 \"\n"},
        {"quote in a key name", "[PRODUCT]\n\"PRODUCT_NAME\"=q\nPRODUCT_VERSION=1\n[COMPONENTS]\n\"APP\"=APP,<TARGETDIR>,1\n"},
        {"lines without equals", "[PRODUCT]\nPRODUCT_NAME\nPRODUCT_VERSION=1\n[COMPONENTS]\nAPP\nHELP=HELP,<TARGETDIR>,2\njust some words\n"},
        {"semicolon comments", "; header\n[PRODUCT]\n;PRODUCT_NAME=hidden\nPRODUCT_NAME=z ; not a comment\nPRODUCT_VERSION=1\n[COMPONENTS]\n;APP=APP,<TARGETDIR>,1\n  ; indented\nHELP=HELP,<TARGETDIR>,2\n"},
        {"hash and slash comments", "# header\n[PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n[COMPONENTS]\n#APP=APP,<TARGETDIR>,1\n//HELP=HELP,x,2\n"},
        {"equals in values and empty names", "[PRODUCT]\nPRODUCT_NAME=a=b=c\nPRODUCT_VERSION==1\n=orphan\n=another\n[COMPONENTS]\n=APP,<TARGETDIR>,1\nAPP=APP,<TARGETDIR>=x,1\n"},
        {"blank before equals", "[PRODUCT]\nPRODUCT_NAME =z\nPRODUCT_VERSION= 1\n[COMPONENTS]\nA B=APP,<TARGETDIR>,1\n"},
        {"component part counts", "[PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n[COMPONENTS]\nTWO=a,b\nFOUR=a,b,c,d\nEMPTY=\nCOMMAS=,,0\nTWOCOMMAS=,,\nTRAIL=a,b,1,\nNUM=a,b,12abc\nNEG=a,b,  -7\n"},
        {"long value", "[PRODUCT]\nPRODUCT_NAME=" + longValue + "\nPRODUCT_VERSION=1\n[COMPONENTS]\nAPP=APP," + std::string(3000, 'd') + ",1\n"},
        {"many component names", longNames},
        {"japanese names and values", "[PRODUCT]\nPRODUCT_NAME=ゾミ７ 表示\nPRODUCT_VERSION=７.５\n[COMPONENTS]\nヘルプ=ヘルプ,<TARGETDIR>\\ヘルプ,2\nソフト=ソ,<TARGETDIR>\\表,1\n"},
        {"japanese section names", "[製品]\nA=1\n[PRODUCT]\nPRODUCT_NAME=ー\nPRODUCT_VERSION=1\n[ゾミ]\nB=2\n"},
        {"second byte looks like bracket or quote", "[PRODUCT]\nPRODUCT_NAME=\"ゾ\"\nPRODUCT_VERSION=ゾ]\n[COMPONENTS]\nゾ=ゾ,<TARGETDIR>\\ゾ,1\n"},
        {"ideographic spaces", "[PRODUCT]\n　PRODUCT_NAME　=　全角　\nPRODUCT_VERSION=1　\n[COMPONENTS]\nAPP=APP,<TARGETDIR>,1　\n"},
        {"full-width letters in other case", "[ＰＲＯＤＵＣＴ]\nＡ=1\n[PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n[ｐｒｏｄｕｃｔ]\nａ=2\n[ΑΒΓ]\nx=1\n[αβγ]\ny=1\n[ДЖЯ]\nz=1\n[джя]\nw=1\n"},
        {"tabs and vertical blanks", "[PRODUCT]\n\x0bPRODUCT_NAME\x0c=\x0bz\x0c\nPRODUCT_VERSION=1\x1a\n"},
        {"ctrl-z at the end", kGood + "\x1a"},
        {"control characters in values", "[PRODUCT]\nPRODUCT_NAME=a\x01" "b\nPRODUCT_VERSION=\x02\n"},
        {"missing product keys", "[PRODUCT]\nPACKAGE=P\n[COMPONENTS]\nAPP=APP,<TARGETDIR>,1\n"},
        {"no components section", "[PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n"},
        {"empty components section", "[PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n[COMPONENTS]\n[OTHER]\nX=1\n"},
        {"key names differing in blanks", "[COMPONENTS]\nA=1,2,3\n A =4,5,6\nA  B=7,8,9\n[PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n"},
        {"component key order", "[COMPONENTS]\nZ=z,<TARGETDIR>,1\nA=a,<TARGETDIR>,2\nM=m,<SYSTEMDIR>,3\n[PRODUCT]\nPRODUCT_NAME=z\nPRODUCT_VERSION=1\n"},
        {"unicode-looking escapes", "[PRODUCT]\nPRODUCT_NAME=\\x41\\n\nPRODUCT_VERSION=%PATH%\n"},
        {"very long line of blanks", "[PRODUCT]\nPRODUCT_NAME=" + std::string(2000, ' ') + "x" + std::string(2000, ' ') + "\nPRODUCT_VERSION=1\n"},
        {"crlf inside quotes", "[PRODUCT]\nPRODUCT_NAME=\"a\r\nb\"\nPRODUCT_VERSION=1\n"},
        {"bracket lines inside values", "[PRODUCT]\nPRODUCT_NAME=[COMPONENTS]\nPRODUCT_VERSION=1\n[COMPONENTS]\n[=x\n"},
    };
}

std::string Printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// Names to ask for: those SETUP.EXE asks for, in other cases and with
// blanks, and every name either reader lists.
std::vector<std::string> SectionsToAsk(const std::string& bytes) {
    std::vector<std::string> names = {"PRODUCT", "COMPONENTS", "product", "Components", " PRODUCT ", "OTHER", ""};
    std::size_t at = 0;
    while ((at = bytes.find('[', at)) != std::string::npos) {
        const std::size_t end = bytes.find_first_of("]\r\n", at);
        names.push_back(bytes.substr(at + 1, (end == std::string::npos ? bytes.size() : end) - at - 1));
        ++at;
    }
    return names;
}

bool WithoutEmptyName(const std::string& list) {
    return list == std::string(1, '\0') || (list.size() > 2 && list.find(std::string(2, '\0')) == list.size() - 2);
}

std::vector<std::string> Split(const std::string& list) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < list.size() && list[i] != '\0') {
        const std::size_t end = list.find('\0', i);
        out.push_back(list.substr(i, end - i));
        i = end + 1;
    }
    return out;
}

}  // namespace

TEST(ProfileDifferential, CorpusReadsAsTheSystemReadsIt) {
    const auto corpus = Corpus();
    ASSERT_GE(corpus.size(), 40u);
    testsupport::ScratchDir dir("upd_profile_corpus");
    int n = 0;
    for (const IniCase& c : corpus) {
        SCOPED_TRACE(c.name);
        const std::string bytes = Sjis(c.text);
        // A file of its own for every case: the system caches what it read.
        const std::string path = dir / ("case" + std::to_string(n++) + ".ini");
        ASSERT_TRUE(testsupport::WriteFileBytes(path, bytes));
        const setupini::ProfileFile mine(bytes);

        for (const std::string& section : SectionsToAsk(bytes)) {
            SCOPED_TRACE("[" + Printable(section) + "]");
            const std::string sysList = setupini::ReadSystemProfile(section.c_str(), nullptr, path);
            const std::string myList = mine.KeyList(section);
            // Compared as SETUP.EXE splits it: up to the first empty name
            // (the system's list holds more after one, which no caller sees).
            EXPECT_EQ(Split(myList), Split(sysList)) << Printable(myList) << " / " << Printable(sysList);
            if (WithoutEmptyName(myList) && WithoutEmptyName(sysList)) {
                EXPECT_EQ(Printable(myList), Printable(sysList));  // then the very bytes
            }
            std::vector<std::string> keys = {"PRODUCT_NAME", "product_version", "PACKAGE", " APP ", "A"};
            for (const std::string& k : Split(sysList)) keys.push_back(k);
            for (const std::string& k : Split(myList)) keys.push_back(k);
            for (const std::string& key : keys) {
                EXPECT_EQ(Printable(mine.Get(section, key)),
                          Printable(setupini::ReadSystemProfile(section.c_str(), key.c_str(), path)))
                    << "key " << Printable(key);
            }
        }

        const auto sys = setupini::ReadDescription(
            [&](const char* s, const char* k) { return setupini::ReadSystemProfile(s, k, path); });
        const auto own = setupini::ReadDescription(
            [&](const char* s, const char* k) { return k ? mine.Get(s, k) : mine.KeyList(s); });
        EXPECT_EQ(Printable(own.faults), Printable(sys.faults));
        EXPECT_EQ(own.productName, sys.productName);
        EXPECT_EQ(own.productVersion, sys.productVersion);
        EXPECT_EQ(own.package, sys.package);
        ASSERT_EQ(own.components.size(), sys.components.size());
        for (std::size_t i = 0; i < own.components.size(); ++i) {
            EXPECT_EQ(own.components[i].key, sys.components[i].key);
            EXPECT_EQ(own.components[i].source, sys.components[i].source);
            EXPECT_EQ(own.components[i].dest, sys.components[i].dest);
            EXPECT_EQ(own.components[i].value, sys.components[i].value);
        }
    }
}
