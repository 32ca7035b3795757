// updpkg's entry point off Windows: the arguments are UTF-8 already.
#include "platform/dll_search.h"
#include "tools/updpkg/entry.h"

int main(int argc, char** argv) {
    platform::RestrictDllSearch();
    return updpkg::Main(std::vector<std::string>(argv + 1, argv + argc));
}
