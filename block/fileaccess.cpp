#include "fileaccess.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void setError(std::string *error, const std::string &what)
{
    if (error)
        *error = what;
}

std::string systemReason()
{
    return std::strerror(errno);
}

bool writeAll(int fd, const uint8_t *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string directoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

mode_t newFileMode(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool readWholeFile(const std::string &path, size_t maxSize, std::vector<uint8_t> *out,
                   std::string *error)
{
    out->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        setError(error, "cannot open the file: " + systemReason());
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        setError(error, "cannot read the file: " + systemReason());
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        setError(error, "not a regular file");
        ::close(fd);
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) > maxSize) {
        setError(error, "the file is larger than " + std::to_string(maxSize) + " bytes");
        ::close(fd);
        return false;
    }
    out->resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out->size()) {
        const ssize_t got = ::read(fd, out->data() + done, out->size() - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            setError(error, "cannot read the file: " + systemReason());
            ::close(fd);
            out->clear();
            return false;
        }
        if (got == 0)
            break; // the file shrank while being read
        done += static_cast<size_t>(got);
    }
    out->resize(done);
    ::close(fd);
    return true;
}

bool replaceFileContents(const std::string &path, const uint8_t *data, size_t size,
                         std::string *error)
{
    const mode_t mode = newFileMode(path);
    std::string temp = path + ".XXXXXX";
    std::vector<char> pattern(temp.begin(), temp.end());
    pattern.push_back('\0');
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        setError(error, "cannot create a file beside " + path + ": " + systemReason());
        return false;
    }
    temp.assign(pattern.data());
    bool ok = writeAll(fd, data, size);
    std::string reason = ok ? std::string() : systemReason();
    if (ok && ::fchmod(fd, mode) != 0) {
        ok = false;
        reason = systemReason();
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        reason = systemReason();
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        reason = systemReason();
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = systemReason();
    }
    if (!ok) {
        ::unlink(temp.c_str());
        setError(error, "cannot write " + path + ": " + reason);
        return false;
    }
    // Make the rename itself durable; a failure here loses nothing already
    // written, so it is not reported.
    const int dir = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
