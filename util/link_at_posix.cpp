#include "util/link_at.h"

#include <sys/stat.h>

bool IsLinkAt(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink != 1);
}
