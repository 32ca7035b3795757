#pragma once
// The rules of SETUP.INI (required keys, component values, the fault lines
// of SETUP.EXE's box), over any profile reader: the program's own
// (app/profile.h), which SETUP.EXE and updpkg use, or the system's, which it
// is tested against. SETUP.EXE and updpkg check and medium all judge a
// SETUP.INI here, so what one refuses the others refuse alike.

#include <functional>
#include <string>
#include <vector>

namespace setupini {

// One profile value as the system's reader returns it with a buffer that
// always fits, in SETUP.INI's own bytes (code page 932). key == nullptr: the
// section's key names, each ended by a NUL, the list ended by one more NUL.
// Everything the Description holds is UTF-8, converted from those bytes.
using ProfileRead = std::function<std::string(const char* section, const char* key)>;

struct Component {
    std::string key;     // the name in [COMPONENTS]
    std::string source;  // the value's first part: subfolder of FILES
    std::string dest;    // second part: destination folder, usually with a macro
    int value = 0;       // third part, a number
};

struct Description {
    std::string productName;
    std::string productVersion;
    std::string package;
    std::vector<Component> components;  // the valid ones, in file order
    // The lines SETUP.EXE lists in its box, each ended by "\r\n": first the
    // product keys (PACKAGE after PRODUCT_VERSION), then every faulty
    // component in file order.
    std::string faults;
    // Why, one text for each line of faults, in its order: English, for
    // updpkg's reports (names in code page 932).
    std::vector<std::string> reasons;
};

Description ReadDescription(const ProfileRead& read);

// What SETUP.EXE may do with a component's value and with PACKAGE, judged
// before the macros are expanded. Each gives an empty text for a sound
// value, else why it is none (English, the value's names in code page 932).
//   destination  "<TARGETDIR>" or "<SYSTEMDIR>" followed by the end or a
//                backslash, or a drive letter, ':' and '\'; then folder names
//                between backslashes (a doubled or trailing backslash is
//                read by Windows as one, so empty names are passed over).
//                No other macro, so no UNC or device path, nothing relative.
//   source       one or more folder names below FILES, a single backslash
//                between two.
//   PACKAGE      empty (the files lie in FILES), or one file name beside
//                SETUP.EXE.
// Every name must be one that Windows writes as it stands, by the package
// entry-name rule (engine/pkg/entry_name.h): no control character, none of
// < > " | ? * : /, not "." or "..", no trailing dot or blank, no device name.
std::string DestinationFault(const std::string& dest);
std::string SourceFault(const std::string& source);
std::string PackageFault(const std::string& package);

// The text macros, replaced in this order, every occurrence. A caller that
// does not know a folder passes the macro itself, which leaves it standing.
void ExpandMacros(std::string& text, const std::string& productName, const std::string& productVersion,
                  const std::string& targetDir, const std::string& systemDir);

// The fault text cut into its lines, without their ends.
std::vector<std::string> FaultLines(const std::string& faults);

}  // namespace setupini
