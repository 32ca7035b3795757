#pragma once
// The rules of SETUP.INI (required keys, component values, the fault lines
// of SETUP.EXE's box), over any profile reader: the program's own
// (app/profile.h), which SETUP.EXE and updpkg use, or the system's, which it
// is tested against.

#include <functional>
#include <string>
#include <vector>

namespace setupini {

// One profile value as the system's reader returns it with a buffer that
// always fits. key == nullptr: the section's key names, each ended by a NUL,
// the list ended by one more NUL.
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
    // product keys, then every faulty component in file order.
    std::string faults;
};

Description ReadDescription(const ProfileRead& read);

// The text macros, replaced in this order, every occurrence. A caller that
// does not know a folder passes the macro itself, which leaves it standing.
void ExpandMacros(std::string& text, const std::string& productName, const std::string& productVersion,
                  const std::string& targetDir, const std::string& systemDir);

// The fault text cut into its lines, without their ends.
std::vector<std::string> FaultLines(const std::string& faults);

}  // namespace setupini
