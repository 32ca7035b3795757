// updpkg check's report, as text for a person and as JSON for a pipeline.
#include <cinttypes>
#include <cstdio>

#include "platform/utf.h"
#include "tools/updpkg/medium_check.h"
#include "tools/updpkg/errors.h"
#include "tools/updpkg/fileio.h"
#include "tools/updpkg/names.h"
#include "tools/updpkg/setup_ini.h"

namespace updpkg {

namespace {

const char* StateName(PlannedCopy::State s) {
    switch (s) {
        case PlannedCopy::Add: return "add";
        case PlannedCopy::Replace: return "replace";
        case PlannedCopy::Same: return "same";
        case PlannedCopy::Elsewhere: break;
    }
    return "outside";
}

std::string Hex(uint32_t key) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08" PRIx32, key);
    return buf;
}

// A JSON string of a UTF-8 text; a text that is no UTF-8 (a path of the
// system's own) has its bytes above 0x7F kept as \u00XX.
std::string Json(const std::string& utf8) {
    const bool valid = utf::IsValid(utf8);
    std::string out = "\"";
    for (const unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || (c >= 0x80 && !valid)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A destination folder with the product's folder for "<TARGETDIR>", in the
// system's spelling; other destinations (such as <SYSTEMDIR>) as they are.
std::string DestFolder(const CheckReport& r, const std::string& folder) {
    static const std::string kTarget = "<TARGETDIR>";
    if (folder.compare(0, kTarget.size(), kTarget) != 0) return folder;
    std::string rest = folder.substr(kTarget.size());
    while (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
    if (rest.empty()) return r.productFolder;
    for (char& c : rest)
        if (c == '\\') c = kPathSeparator;
    return JoinNative(r.productFolder, rest);
}

std::string Bool(bool b) { return b ? "true" : "false"; }

// What SETUP.EXE makes of the medium's signature, in a word.
std::string SignatureVerdict(const SignatureReport& s) {
    if (!s.trustedKey) return "not checked";
    return s.refusal.empty() ? "sound" : "refused";
}

const char kNoKeyWarning[] =
    "SETUP.EXE trusts no key: anyone who can change the medium can make it install anything";

}  // namespace

std::string ShownText(const std::string& text) {
    // Control bytes are never passed to the terminal as they are.
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += " / ";
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string ReportText(const CheckReport& r) {
    std::string t = "medium: " + r.medium + "\n";
    t += std::string("SETUP.EXE: ") +
         (!r.setupExe ? "missing" : r.setupExeNot.empty() ? "present" : "not the update wizard: " + r.setupExeNot) + "\n";
    if (r.setupExe) {
        const SignatureReport& s = r.signature;
        t += "signature: ";
        if (!s.trustedKey) {
            t += std::string(s.slot ? "" : "SETUP.EXE has no place for a key; ") + kNoKeyWarning + "\n";
        } else {
            t += "SETUP.EXE trusts key " + *s.trustedKey + "; " +
                 (!s.sigFound ? std::string("no SETUP.SIG")
                              : "SETUP.SIG signed with key " + (s.signedWith.empty() ? "?" : s.signedWith)) +
                 ": " + SignatureVerdict(s) + (s.refusal.empty() ? "" : " (" + ShownText(s.refusal) + ")") + "\n";
            for (const SignedFileState& f : s.files) {
                char line[64];
                std::snprintf(line, sizeof line, "  %-12s %12" PRIu64 "  ", f.state.c_str(), f.size);
                t += line + ShownText(f.name) + "\n";
            }
        }
    }
    if (!r.iniFound) {
        t += "SETUP.INI: missing\n";
    } else {
        t += "SETUP.INI: " + ShownText(r.ini.productName) + " " + ShownText(r.ini.productVersion) + ", " +
             (r.ini.package.empty() ? std::string("no package (files in FILES)") : "package " + ShownText(r.ini.package)) +
             ", " + std::to_string(r.ini.components.size()) + " component(s)\n";
    }
    if (!r.faults.empty()) {
        t += "  SETUP.EXE would list these faults and end:\n";
        for (const std::string& f : ExplainedFaults(r.ini)) t += "    " + f + "\n";
    }
    if (!r.ini.package.empty()) {
        t += "package: ";
        if (!r.packageChecked) t += "not checked\n";
        else if (r.packageSound)
            t += std::to_string(r.entries) + " entries, " + std::to_string(r.bytes) + " bytes, all sound\n";
        else t += "damaged or made for another key (" + r.packageError + ")\n";
    }
    for (const ComponentCheck& c : r.components) {
        t += "component " + ShownText(c.component.key) + ": " + ShownText(c.component.source) + " -> " +
             ShownText(c.component.dest) + ": ";
        if (!c.found) t += "not checked\n";
        else if (*c.found) t += std::to_string(c.files) + " file(s)\n";
        else t += "missing\n";
    }
    if (r.exeChecked) {
        t += "Zomi7.EXE on the medium: ";
        if (r.exeFrom.empty()) t += "none for <TARGETDIR>\n";
        else t += (r.exeVersion ? r.exeVersion->Text() : std::string("no version resource")) + " (" + ShownText(r.exeFrom) + ")\n";
    }
    if (r.withProduct) {
        t += "product: key " + (r.key ? Hex(*r.key) : std::string("?")) + ", installed " +
             (r.installed ? r.installed->Text() : std::string("none")) + ": " + r.outcome + "\n";
        std::string folder;
        for (const PlannedCopy& c : r.copies) {
            if (c.folder != folder) {
                folder = c.folder;
                t += "  " + DestFolder(r, folder) + "\n";
            }
            t += std::string("    ") + StateName(c.state) + std::string(8 - std::string(StateName(c.state)).size(), ' ') +
                 ShownText(c.file) + "\n";
        }
    }
    for (const std::string& n : r.notes) t += "note: " + n + "\n";
    if (!r.firstBox.empty()) t += "SETUP.EXE would show: " + ShownText(r.firstBox) + "\n";
    if (r.problems.empty()) {
        t += "verdict: the medium would work\n";
    } else {
        t += "verdict: the medium would fail:\n";
        for (const Problem& p : r.problems) t += "  - " + p.what + "\n";
    }
    return t;
}

std::string ReportJson(const CheckReport& r) {
    std::string j = "{";
    j += "\"medium\":" + Json(r.medium);
    j += ",\"status\":" + std::to_string(r.status);
    j += ",\"verdict\":" + std::string(r.problems.empty() ? "\"would work\"" : "\"would fail\"");
    j += ",\"setup_exe\":" + Bool(r.setupExe);
    j += ",\"setup_exe_is_wizard\":" + (r.setupExe ? Bool(r.setupExeNot.empty()) : "null");
    const SignatureReport& s = r.signature;
    j += ",\"signature\":{\"trusted_key\":" + (s.trustedKey ? Json(*s.trustedKey) : "null") +
         ",\"signed_with\":" + (s.signedWith.empty() ? "null" : Json(s.signedWith)) +
         ",\"verdict\":" + Json(SignatureVerdict(s)) +
         ",\"refusal\":" + (s.refusal.empty() ? "null" : Json(s.refusal)) +
         ",\"warning\":" + (s.trustedKey || !r.setupExe ? "null" : Json(kNoKeyWarning)) + ",\"files\":[";
    for (std::size_t i = 0; i < s.files.size(); ++i) {
        j += std::string(i ? "," : "") + "{\"name\":" + Json(s.files[i].name) +
             ",\"size\":" + std::to_string(s.files[i].size) + ",\"state\":" + Json(s.files[i].state) + "}";
    }
    j += "]}";
    j += ",\"setup_ini\":{\"found\":" + Bool(r.iniFound) + ",\"product_name\":" + Json(r.ini.productName) +
         ",\"product_version\":" + Json(r.ini.productVersion) + ",\"package\":" + Json(r.ini.package) + ",\"faults\":[";
    for (std::size_t i = 0; i < r.faults.size(); ++i) j += (i ? "," : "") + Json(r.faults[i]);
    j += "],\"fault_reasons\":[";
    for (std::size_t i = 0; i < r.ini.reasons.size(); ++i) j += (i ? "," : "") + Json(r.ini.reasons[i]);
    j += "]}";
    j += ",\"package\":";
    if (r.ini.package.empty()) {
        j += "null";
    } else {
        j += "{\"checked\":" + Bool(r.packageChecked) + ",\"sound\":" + (r.packageChecked ? Bool(r.packageSound) : "null") +
             ",\"entries\":" + std::to_string(r.entries) + ",\"bytes\":" + std::to_string(r.bytes) +
             ",\"error\":" + (r.packageError.empty() ? "null" : Json(r.packageError)) + "}";
    }
    j += ",\"components\":[";
    for (std::size_t i = 0; i < r.components.size(); ++i) {
        const ComponentCheck& c = r.components[i];
        j += std::string(i ? "," : "") + "{\"key\":" + Json(c.component.key) + ",\"source\":" + Json(c.component.source) +
             ",\"dest\":" + Json(c.component.dest) + ",\"number\":" + std::to_string(c.component.value) +
             ",\"found\":" + (c.found ? Bool(*c.found) : "null") + ",\"files\":" + std::to_string(c.files) + "}";
    }
    j += "]";
    j += ",\"executable\":";
    if (!r.exeChecked) {
        j += "null";
    } else {
        j += "{\"from\":" + (r.exeFrom.empty() ? "null" : Json(r.exeFrom)) +
             ",\"version\":" + (r.exeVersion ? Json(r.exeVersion->Text()) : "null") + "}";
    }
    j += ",\"product\":";
    if (!r.withProduct) {
        j += "null";
    } else {
        j += "{\"key\":" + (r.key ? Json(Hex(*r.key)) : "null") +
             ",\"installed_version\":" + (r.installed ? Json(r.installed->Text()) : "null") +
             ",\"outcome\":" + Json(r.outcome) + ",\"files\":[";
        for (std::size_t i = 0; i < r.copies.size(); ++i) {
            const PlannedCopy& c = r.copies[i];
            j += std::string(i ? "," : "") + "{\"folder\":" + Json(DestFolder(r, c.folder)) + ",\"file\":" + Json(c.file) +
                 ",\"state\":\"" + StateName(c.state) + "\",\"from\":" + Json(c.from) + "}";
        }
        j += "]}";
    }
    j += ",\"setup_shows\":" + (r.firstBox.empty() ? "null" : Json(r.firstBox));
    j += ",\"problems\":[";
    for (std::size_t i = 0; i < r.problems.size(); ++i) {
        const Problem& p = r.problems[i];
        j += std::string(i ? "," : "") + "{\"what\":" + Json(p.what) +
             ",\"setup_shows\":" + (p.setupShows.empty() ? "null" : Json(p.setupShows)) + "}";
    }
    j += "],\"notes\":[";
    for (std::size_t i = 0; i < r.notes.size(); ++i) j += (i ? "," : "") + Json(r.notes[i]);
    j += "]}\n";
    return j;
}

}  // namespace updpkg
