#include "tools/updpkg/vendor_cli.h"

#include "tools/updpkg/cli.h"
#include "tools/updpkg/errors.h"

namespace updpkg {

namespace {

struct CommandText {
    const char* name;
    const char* synopsis;
    const char* description;
    const char* status;  // what its exit statuses mean
};

const CommandText kCommands[] = {
    {"medium",
     "--ini SETUP.INI --setup SETUP.EXE (--key HEX | --key-file LIBRARY) [--sign-key VENDOR.key] [--level 0-9]\n"
     "      [--force] -o FOLDER FILES",
     "Builds an update medium in FOLDER: checks SETUP.INI as SETUP.EXE reads it and\n"
     "that every component's source folder is in FILES, then builds the package\n"
     "PACKAGE names from FILES (or copies FILES when PACKAGE is empty), copies\n"
     "SETUP.EXE, writes SETUP.INI in code page 932 with CRLF line ends (from UTF-8\n"
     "or code page 932), checks the result as updpkg check does and prints what\n"
     "the medium holds. FOLDER must be empty or missing unless --force is given\n"
     "(files already there stay). SETUP.EXE must be the update wizard (its version\n"
     "resource tells); a key file that is no DLL named kvp2lib.dll is warned of.\n"
     "With --sign-key the medium is signed as updpkg sign signs it, before the check.\n",
     "Exit status: 0 the medium was built and would work, 1 SETUP.INI is faulty or\n"
     "a component's folder is missing (nothing written), or the medium built would\n"
     "fail, 2 wrong usage (a --setup that is not SETUP.EXE, a FOLDER not empty\n"
     "without --force), 3 a file could not be read or written.\n"},
    {"check", "MEDIUM [--key HEX | --key-file LIBRARY | --product FOLDER] [--signed-by VENDOR.pub] [--json]",
     "Predicts what SETUP.EXE on MEDIUM will do: the faults of SETUP.INI it would\n"
     "list, the package's verdict, components whose folder the package lacks,\n"
     "the version of the Zomi7.EXE it installs (below 7.5.2.0 every run would\n"
     "update again). With --product FOLDER (an installed product): the key from\n"
     "its kvp2lib.dll, its version, and the files the update would add, replace\n"
     "or leave as they are. First of all, as SETUP.EXE does: the key SETUP.EXE\n"
     "trusts, and whether SETUP.SIG is signed with it and every file it lists\n"
     "matches (SETUP.EXE refuses the medium otherwise); a SETUP.EXE that trusts\n"
     "no key installs whatever anyone who can change the medium puts there.\n"
     "  --signed-by VENDOR.pub  the medium fails unless SETUP.EXE trusts that key\n"
     "  --json  the same as one JSON object\n",
     "Exit status: 0 the medium would work, 1 it would fail, 2 wrong usage, 3 a file\n"
     "could not be read or written.\n"},
    {"diff", "OLD NEW --ini SETUP.INI [--force] -o FILES",
     "From two installed-product trees, writes the FILES tree of the files of NEW\n"
     "that are new or differ from OLD, laid out by the components of SETUP.INI\n"
     "that install into <TARGETDIR>, and prints what it left out. A component none\n"
     "of whose files changed gets no folder (a package cannot hold an empty one):\n"
     "it is named, and must leave SETUP.INI before updpkg medium. FILES must be\n"
     "empty or missing unless --force is given (files already there stay).\n",
     "Exit status: 0 FILES was written (also when components are named as having\n"
     "no changed files), 1 SETUP.INI is faulty (nothing written), 2 wrong usage\n"
     "(FILES not empty without --force), 3 a file could not be read or written.\n"},
    {"keygen", "-o VENDOR.key",
     "Makes a new key for signing media: the private key in VENDOR.key, readable\n"
     "by its owner alone (keep it off shared folders and the build machine), and\n"
     "the public key in VENDOR.pub beside it; prints the key's ID. Neither file\n"
     "may exist yet. Make it once and sign every medium with it.\n",
     "Exit status: 0 the key was made, 2 wrong usage, 3 a file could not be written\n"
     "(or one of the two exists already).\n"},
    {"sign", "--sign-key VENDOR.key MEDIUM",
     "Signs MEDIUM: writes SETUP.SIG, which lists SETUP.INI and the package (or,\n"
     "without a package, every file below FILES) with their sizes and SHA-256,\n"
     "signed with the key, and writes the public key into MEDIUM's SETUP.EXE,\n"
     "which from then on installs only a medium signed with it. SETUP.EXE must\n"
     "not be signed with Authenticode yet: sign it after this.\n",
     "Exit status: 0 the medium was signed, 2 wrong usage, 3 a file could not be\n"
     "read or written (an Authenticode-signed SETUP.EXE among them).\n"},
};

const CommandText* Find(const std::string& name) {
    for (const CommandText& c : kCommands) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

}  // namespace

bool IsVendorCommand(const std::string& name) { return Find(name) != nullptr; }

std::string VendorSynopses() {
    std::string s;
    for (const CommandText& c : kCommands) s += std::string("  updpkg ") + c.name + " " + c.synopsis + "\n";
    return s;
}

std::string VendorUsageText(const std::string& command) {
    const CommandText* c = Find(command);
    if (!c) return VendorSynopses();
    return std::string("usage: updpkg ") + c->name + " " + c->synopsis + "\n" + c->description + c->status;
}

VendorOptions ParseVendorCommandLine(const std::vector<std::string>& args) {
    VendorOptions o;
    o.command = args.at(0);
    const std::string& cmd = o.command;
    for (std::size_t k = 1; k < args.size() && args[k] != "--"; ++k) {
        if (args[k] == "--help" || args[k] == "-h") {
            o.help = true;
            return o;
        }
    }
    auto takes = [&](const std::string& option) {
        if (option == "--key" || option == "--key-file") return cmd == "medium" || cmd == "check";
        if (option == "--product" || option == "--json" || option == "--signed-by") return cmd == "check";
        if (option == "--ini") return cmd == "medium" || cmd == "diff";
        if (option == "-o") return cmd != "check" && cmd != "sign";
        if (option == "--force") return cmd == "medium" || cmd == "diff";
        if (option == "--sign-key") return cmd == "medium" || cmd == "sign";
        return cmd == "medium";  // --setup, --level
    };
    const char* const withValue[] = {"--key", "--key-file", "--product", "--ini",     "--setup",
                                     "-o",    "--level",    "--sign-key", "--signed-by"};
    std::string keyText, levelText;
    bool ended = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (ended || arg.size() < 2 || arg[0] != '-') {
            o.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            ended = true;
            continue;
        }
        std::string name, value;
        const bool inlineValue = SplitOption(arg, name, value);
        bool needsValue = false;
        for (const char* w : withValue) needsValue = needsValue || name == w;
        if (!needsValue && name != "--force" && name != "--json") throw UsageError("unknown option '" + arg + "'", cmd);
        if (!takes(name)) throw UsageError(cmd + " does not take " + name, cmd);
        if (!needsValue) {
            if (inlineValue) throw UsageError(name + " takes no value", cmd);
            (name == "--force" ? o.force : o.json) = true;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value", cmd);
            value = args[++i];
        }
        if (value.empty()) throw UsageError(name + " needs a non-empty value", cmd);
        std::string* field = name == "--key" ? &keyText
                             : name == "--key-file" ? &o.keyFile
                             : name == "--product" ? &o.product
                             : name == "--ini" ? &o.ini
                             : name == "--setup" ? &o.setup
                             : name == "-o" ? &o.output
                             : name == "--sign-key" ? &o.signKey
                             : name == "--signed-by" ? &o.signedBy
                                            : &levelText;
        if (!field->empty()) throw UsageError(name + " given twice", cmd);
        *field = value;
    }
    const int keys = !keyText.empty() + !o.keyFile.empty() + !o.product.empty();
    if (keys > 1) throw UsageError("give one of --key, --key-file and --product", cmd);
    if (cmd == "medium" && keys == 0) throw UsageError("--key or --key-file is required", cmd);
    if (!keyText.empty()) {
        o.key = ParseKey(keyText);
        if (!o.key) throw UsageError("--key takes 1 to 8 hexadecimal digits, not '" + keyText + "'", cmd);
    }
    if (!levelText.empty()) {
        if (levelText.size() != 1 || levelText[0] < '0' || levelText[0] > '9') {
            throw UsageError("--level takes a digit 0 to 9, not '" + levelText + "'", cmd);
        }
        o.level = levelText[0] - '0';
    }
    const std::size_t wanted = cmd == "diff" ? 2 : cmd == "keygen" ? 0 : 1;
    if (o.operands.size() != wanted) {
        throw UsageError(o.operands.size() < wanted ? "missing operand" : "too many operands", cmd);
    }
    for (const std::string& op : o.operands) {
        if (op.empty()) throw UsageError("empty operand", cmd);
    }
    if ((cmd == "medium" || cmd == "diff") && o.ini.empty()) throw UsageError("--ini SETUP.INI is required", cmd);
    if (cmd == "medium" && o.setup.empty()) throw UsageError("--setup SETUP.EXE is required", cmd);
    if (cmd == "keygen" && o.output.empty()) throw UsageError("-o VENDOR.key is required", cmd);
    if (cmd != "check" && cmd != "sign" && o.output.empty()) throw UsageError("-o FOLDER is required", cmd);
    if (cmd == "sign" && o.signKey.empty()) throw UsageError("--sign-key VENDOR.key is required", cmd);
    return o;
}

}  // namespace updpkg
