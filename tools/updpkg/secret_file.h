#pragma once
// A new file that only its owner may read: the vendor's private key.

#include <string>

namespace updpkg {

// Creates path, which must not exist (nothing standing there is replaced or
// followed), readable and writable by the current user alone (mode 0600 on
// Linux; on Windows a protected DACL that grants the current user alone,
// nothing inherited), and writes bytes. A part-written file is removed.
// Throws FileError.
void WriteNewSecretFile(const std::string& path, const std::string& bytes);

}  // namespace updpkg
