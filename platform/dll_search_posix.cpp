#include "platform/dll_search.h"

namespace platform {

// Shared objects are found through the system's own paths only.
void RestrictDllSearch() {}

}  // namespace platform
