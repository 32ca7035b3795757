// libFuzzer target: SETUP.INI as SETUP.EXE and updpkg read it (the
// program's profile reader, then the rules that make the description).
// Whatever the bytes, the description keeps the rules' promises.
#include <cstdio>
#include <cstdlib>

#include "app/profile.h"
#include "platform/utf.h"

namespace {

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "SETUP.INI reader broke a promise: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const setupini::Description d = setupini::ReadDescriptionFrom(std::string(reinterpret_cast<const char*>(data), size));
    if (setupini::FaultLines(d.faults).size() != d.reasons.size()) Broken("a fault line without its reason");
    if (!utf::IsValid(d.faults)) Broken("a fault line that is no UTF-8");
    if (d.productName.empty() && d.faults.find("[PRODUCT] PRODUCT_NAME") == std::string::npos)
        Broken("no product name and no fault for it");
    if (!setupini::PackageFault(d.package).empty() && d.faults.find("[PRODUCT] PACKAGE") == std::string::npos)
        Broken("a PACKAGE the rules refuse without its fault");
    // A component SETUP.EXE installs is one the rules accept, in UTF-8.
    for (const setupini::Component& c : d.components) {
        if (!utf::IsValid(c.key) || !utf::IsValid(c.source) || !utf::IsValid(c.dest)) Broken("a name that is no UTF-8");
        if (!setupini::SourceFault(c.source).empty() || !setupini::DestinationFault(c.dest).empty())
            Broken("a component the rules refuse");
    }
    return 0;
}
