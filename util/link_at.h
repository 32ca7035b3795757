#pragma once
// Links: what a change made at a path could pass through to reach
// something else.

#include <string>

// Whether what stands at path is a link of any kind (a symbolic link to a
// file or folder, a junction; not a volume's mount point) or a file with a
// second name: anything through which a change made at path would reach
// something else. false when nothing is there. Windows asks the handle of
// what stands there, opened as itself; elsewhere the name's own status.
bool IsLinkAt(const std::string& path);
