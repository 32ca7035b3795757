#include "app/medium_signature.h"

#include "engine/pkg/entry_name.h"
#include "platform/mbcs.h"
#include "util/name_key.h"
#include "platform/utf.h"

namespace mediumsig {

namespace {

bool TakePrefix(const std::string& line, const char* prefix, std::string& rest) {
    const std::string p(prefix);
    if (line.compare(0, p.size(), p) != 0) return false;
    rest = line.substr(p.size());
    return true;
}

// Decimal, one spelling: no sign, no leading zero, no overflow.
bool ParseSize(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 20 || (text[0] == '0' && text.size() > 1)) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ParseFile(const std::string& rest, SignedFile& file) {
    const std::size_t sp1 = rest.find(' ');
    if (sp1 == std::string::npos || !ParseSize(rest.substr(0, sp1), file.size)) return false;
    if (rest.size() < sp1 + 1 + 64 + 1 || rest[sp1 + 65] != ' ') return false;
    if (!crypto::FromHex(rest.substr(sp1 + 1, 64), file.sha256)) return false;
    file.name = rest.substr(sp1 + 66);
    return NameFits(file.name);
}

}  // namespace

bool NameFits(const std::string& name) {
    if (name.empty() || !utf::IsValid(name)) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return false;
    }
    return true;
}

std::optional<Parsed> Parse(const std::string& bytes, std::string& why) {
    if (bytes.size() > kMaxBytes) {
        why = "SETUP.SIG is larger than " + std::to_string(kMaxBytes) + " bytes";
        return std::nullopt;
    }
    Parsed p;
    std::size_t start = 0, lineNo = 0;
    auto fail = [&](const std::string& what) {
        why = "SETUP.SIG line " + std::to_string(lineNo) + ": " + what;
        return std::nullopt;
    };
    for (;;) {
        ++lineNo;
        if (start >= bytes.size()) return fail("the text ends before its sig line");
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) return fail("no CRLF at the end of the line");
        if (end - start > kMaxLine) return fail("longer than " + std::to_string(kMaxLine) + " bytes");
        const std::string line = bytes.substr(start, end - start);
        if (line.find_first_of("\r\n") != std::string::npos) return fail("a lone CR or LF");
        std::string rest;
        if (lineNo == 1) {
            if (line != kForm) return fail(std::string("not '") + kForm + "'");
        } else if (lineNo == 2) {
            unsigned char id[8];
            if (!TakePrefix(line, "key ", rest) || !crypto::FromHex(rest, id, sizeof id))
                return fail("not 'key' and 16 lower-case hexadecimal digits");
            p.content.keyId = rest;
        } else if (TakePrefix(line, "file ", rest)) {
            if (p.content.files.size() >= kMaxFiles) return fail("more than " + std::to_string(kMaxFiles) + " files");
            SignedFile f;
            if (!ParseFile(rest, f)) return fail("not 'file', a size, a lower-case SHA-256 and a UTF-8 name");
            p.content.files.push_back(std::move(f));
        } else if (TakePrefix(line, "sig ", rest)) {
            if (!crypto::FromHex(rest, p.signature)) return fail("not 'sig' and 128 lower-case hexadecimal digits");
            if (end + 2 != bytes.size()) return fail("text after the sig line");
            p.signedDigest = crypto::Sha256Of(bytes.data(), start);
            return p;
        } else {
            return fail("neither a file line nor the sig line");
        }
        start = end + 2;
    }
}

std::optional<Content> CheckSigned(const std::string& bytes, const crypto::PublicKey& trusted, std::string& why) {
    std::optional<Parsed> p = Parse(bytes, why);
    if (!p) return std::nullopt;
    const std::string trustedId = crypto::KeyId(trusted);
    if (p->content.keyId != trustedId) {
        why = "SETUP.SIG is signed with key " + p->content.keyId + ", SETUP.EXE trusts key " + trustedId;
        return std::nullopt;
    }
    if (!crypto::Verify(trusted, p->signedDigest, p->signature)) {
        why = "SETUP.SIG: the signature is not key " + trustedId + "'s signature of its text";
        return std::nullopt;
    }
    return std::move(p->content);
}

bool SignedFiles::Index(const Content& content, std::string& why) {
    m_files.clear();
    m_byKey.clear();
    for (const SignedFile& f : content.files) {
        // The package's own name rule, on the name's code page 932 form.
        std::string cp932;
        if (!mbcs::Utf8ToCp932(f.name, cp932) || pkg::EntryNameFault(cp932)) {
            why = "SETUP.SIG names '" + f.name + "', which is no plain path below the medium's folder";
            return false;
        }
        if (!m_byKey.emplace(names::Key(f.name), m_files.size()).second) {
            why = "SETUP.SIG names '" + f.name + "' twice";
            return false;
        }
        m_files.push_back(f);
    }
    if (m_files.empty() || names::Key(m_files.front().name) != kIniName) {
        why = std::string("SETUP.SIG does not list ") + kIniName + " first";
        return false;
    }
    return true;
}

const SignedFile* SignedFiles::Find(const std::string& relative) const {
    const auto it = m_byKey.find(names::Key(relative));
    return it == m_byKey.end() ? nullptr : &m_files[it->second];
}

bool SignedFiles::Covers(const std::string& package, std::string& why) const {
    if (!package.empty()) {
        if (m_files.size() != 2 || !Find(package)) {
            why = "SETUP.SIG does not list SETUP.INI and the package " + package + " alone";
            return false;
        }
        return true;
    }
    const std::string prefix = std::string(kFilesFolder) + "\\";
    for (std::size_t i = 1; i < m_files.size(); ++i) {
        if (names::Key(m_files[i].name).compare(0, prefix.size(), prefix) != 0) {
            why = "SETUP.SIG lists " + m_files[i].name + ", which is not below FILES";
            return false;
        }
    }
    return true;
}

std::vector<std::pair<std::string, const SignedFile*>> SignedFiles::AfterIni() const {
    std::vector<std::pair<std::string, const SignedFile*>> out;
    for (std::size_t i = 1; i < m_files.size(); ++i) out.emplace_back(m_files[i].name, &m_files[i]);
    return out;
}

std::string Mismatch(const SignedFile& signedFile, uint64_t size, const crypto::Digest& sha256) {
    if (size != signedFile.size)
        return "size " + std::to_string(size) + " where " + std::to_string(signedFile.size) + " was signed";
    if (sha256 != signedFile.sha256) return "SHA-256 " + crypto::ToHex(sha256) + " differs from the signed one";
    return "";
}

}  // namespace mediumsig
