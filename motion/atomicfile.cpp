#include "atomicfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trelvo::motion {

bool writeFileAtomically(const std::filesystem::path &path, std::string_view bytes, std::string *error)
{
    auto fail = [&](const std::string &what) {
        if (error)
            *error = path.string() + ": " + what + " (" + std::strerror(errno) + ")";
        return false;
    };
    if (path.filename().empty()) {
        if (error)
            *error = path.string() + ": not a file name";
        return false;
    }
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string pattern = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return fail("cannot create a temporary file beside it");
    auto abandon = [&](const std::string &what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        errno = saved;
        return fail(what);
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon("cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
    // mkstemp creates the file private to its owner; motion files are not secrets.
    if (::fchmod(fd, 0644) != 0)
        return abandon("cannot set the file's permissions");
    if (::fsync(fd) != 0)
        return abandon("cannot flush to disk");
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(pattern.c_str());
        errno = saved;
        return fail("cannot close the temporary file");
    }
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(pattern.c_str());
        errno = saved;
        return fail("cannot replace the file");
    }
    return true;
}

} // namespace trelvo::motion
