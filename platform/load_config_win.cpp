// Linked into SETUP.EXE and updpkg.exe alone (upd_strict_dll_loading in
// cmake/system-dlls.cmake): their load configuration, and the end of their
// table of delay-loaded DLLs. cmake/pe_load_directories.py points the
// program's data directories at both after the link.
#include <windows.h>

// Windows 10 1607 and later load the DLLs that the program's static imports
// import (kernel32's and msvcrt's own) from the system folder alone, as if
// each were loaded with LOAD_LIBRARY_SEARCH_SYSTEM32. The field is
// DependentLoadFlags; MinGW-w64 10's headers still call it Reserved1.
// Everything else stays zero: no security cookie, no SafeSEH table (the
// same as having no load configuration), no control-flow guard.
namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY LoadConfig() {
    IMAGE_LOAD_CONFIG_DIRECTORY config{};
    config.Size = sizeof config;
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return config;
}

// The zero descriptor that ends the table of delay-loaded DLLs: ld sorts
// .text$3 right after .text$2, where dlltool puts each DLL's descriptor.
// Aligned as the descriptors are, not as the compiler would align an
// object of 32 bytes, so that no gap comes between.
__attribute__((used, section(".text$3"), aligned(4))) constinit const IMAGE_DELAYLOAD_DESCRIPTOR g_delayLoadTableEnd{};

}  // namespace

extern "C" __attribute__((used)) constinit const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = LoadConfig();
