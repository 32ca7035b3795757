#pragma once
// Keeps DLLs loaded by bare name out of the program's own folder, which the
// elevated program does not own (a downloads folder, a medium).

namespace platform {

// Restricts the search for DLLs named without a path to the system folder.
// Called first thing, before anything may load a DLL. Does nothing where
// the program is not a Windows one.
void RestrictDllSearch();

}  // namespace platform
