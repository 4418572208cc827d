#include "fileaccess.h"

#include <cerrno>
#include <cstring>

#include <cctype>
#include <ctime>

#include <dirent.h>
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

// A symbolic link is written through to its target, as editors do.
std::string writeTarget(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        char buffer[4096];
        const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
        if (n < 0 || n >= static_cast<ssize_t>(sizeof buffer))
            break;
        std::string link(buffer, static_cast<size_t>(n));
        if (link[0] != '/')
            link = directoryOf(path) + "/" + link;
        path = link;
    }
    return path;
}

// Removes PATH.tmp-XXXXXX files of ours older than a minute: temporaries of
// a writer killed before its rename.
void removeStaleTemporaries(const std::string &path)
{
    const std::string dirName = directoryOf(path);
    const size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR *dir = ::opendir(dirName.c_str());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != base.size() + 11 || name.compare(0, base.size(), base) != 0
            || name.compare(base.size(), 5, ".tmp-") != 0)
            continue;
        bool pattern = true;
        for (size_t i = base.size() + 5; i < name.size(); ++i)
            pattern = pattern && std::isalnum(static_cast<unsigned char>(name[i]));
        struct stat st;
        if (!pattern || ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(st.st_mode) && st.st_uid == ::getuid() && now - st.st_mtime >= 60)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

} // namespace

bool readWholeFile(const std::string &path, size_t maxSize, std::vector<uint8_t> *out,
                   std::string *error)
{
    out->clear();
    // O_NONBLOCK: opening a named pipe must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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

bool replaceFileContents(const std::string &name, const uint8_t *data, size_t size,
                         std::string *error)
{
    const std::string path = writeTarget(name);
    const mode_t mode = newFileMode(path);
    std::string temp = path + ".tmp-XXXXXX";
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
    removeStaleTemporaries(path);
    return true;
}
