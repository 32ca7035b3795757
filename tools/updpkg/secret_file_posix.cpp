#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "tools/updpkg/errors.h"
#include "tools/updpkg/secret_file.h"

namespace updpkg {

void WriteNewSecretFile(const std::string& path, const std::string& bytes) {
    // The mode is given at creation: no moment in which others may open it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw FileError("cannot create '" + path + "': " + std::strerror(errno));
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (error) {
        ::unlink(path.c_str());
        throw FileError("cannot write '" + path + "': " + std::strerror(error));
    }
}

}  // namespace updpkg
