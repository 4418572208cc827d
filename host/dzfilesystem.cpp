#include "dzfilesystem.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Length of the valid UTF-8 sequence at s (at most n bytes), 0 when invalid.
int utf8Length(const unsigned char *s, qsizetype n)
{
    const unsigned char c = s[0];
    int len;
    unsigned min;
    unsigned cp;
    if (c < 0x80)
        return 1;
    if ((c & 0xE0) == 0xC0) {
        len = 2;
        min = 0x80;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        min = 0x800;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        min = 0x10000;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF do not round-trip.
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

QByteArray directoryOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    if (slash == 0)
        return QByteArrayLiteral("/");
    return path.left(slash);
}

// NAME.tmp-XXXXXX: a marker no user's own file name is likely to carry.
constexpr char kTempMarker[] = ".tmp-";
constexpr qsizetype kTempMarkerSize = sizeof kTempMarker - 1;

bool isTemporaryName(const QByteArray &entry, const QByteArray &base)
{
    if (entry.size() != base.size() + kTempMarkerSize + 6 || !entry.startsWith(base)
        || entry.mid(base.size(), kTempMarkerSize) != kTempMarker)
        return false;
    for (qsizetype i = base.size() + kTempMarkerSize; i < entry.size(); ++i) {
        const char c = entry.at(i);
        const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum)
            return false;
    }
    return true;
}

} // namespace

QString dzDecodeFileName(const QByteArray &bytes)
{
    // Names are UTF-8 on the systems we run on; a valid name decodes as Qt
    // would decode it.
    QString out;
    out.reserve(bytes.size());
    const auto *s = reinterpret_cast<const unsigned char *>(bytes.constData());
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int len = s[i] ? utf8Length(s + i, bytes.size() - i) : 1;
        if (len == 0) {
            out.append(QChar(0xDC00 + s[i]));
            ++i;
        } else {
            out.append(QString::fromUtf8(bytes.constData() + i, len));
            i += len;
        }
    }
    return out;
}

QByteArray dzEncodeFileName(const QString &name)
{
    QByteArray out;
    out.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        const bool escaped = u >= 0xDC80 && u <= 0xDCFF
            && !(i > 0 && name.at(i - 1).isHighSurrogate());
        if (escaped) {
            out.append(name.mid(start, i - start).toUtf8());
            out.append(char(u - 0xDC00));
            start = i + 1;
        }
    }
    out.append(name.mid(start).toUtf8());
    return out;
}

QStringList dzArguments(int argc, char **argv)
{
    QStringList out;
    for (int i = 1; i < argc; ++i)
        out << dzDecodeFileName(QByteArray(argv[i]));
    return out;
}

QString dzDisplayName(const QString &name)
{
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name.at(i).unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && !(i > 0 && name.at(i - 1).isHighSurrogate()))
            out += QStringLiteral("\\x%1").arg(unsigned(u - 0xDC00), 2, 16, QLatin1Char('0'));
        else
            out += name.at(i);
    }
    return out;
}

static QString sizeText(qint64 bytes)
{
    if (bytes >= (1 << 20) && bytes % (1 << 20) == 0)
        return QStringLiteral("%1 MiB").arg(bytes >> 20);
    return QStringLiteral("%1 bytes").arg(bytes);
}

bool dzIsRegularFile(const QString &path, QString *error)
{
    struct stat st;
    if (::stat(dzEncodeFileName(path).constData(), &st) != 0) {
        if (error)
            *error = reason(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error)
            *error = S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder, not a file")
                                         : QStringLiteral("not a regular file");
        return false;
    }
    return true;
}

qint64 dzFileSize(const QString &path)
{
    struct stat st;
    return ::stat(dzEncodeFileName(path).constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

bool dzOpenForReading(QFile *file, const QString &path, qint64 maxSize, QString *error)
{
    const QString shown = dzDisplayName(path);
    QString why;
    if (!dzIsRegularFile(path, &why)) {
        *error = QStringLiteral("cannot open %1: %2").arg(shown, why);
        return false;
    }
    // O_NONBLOCK: the name may have been replaced by a pipe since the check.
    const int fd = ::open(dzEncodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(shown, reason(errno));
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("cannot open %1: not a regular file").arg(shown);
        return false;
    }
    if (st.st_size > maxSize) {
        ::close(fd);
        *error = QStringLiteral("%1 is larger than %2").arg(shown, sizeText(maxSize));
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = QStringLiteral("cannot open %1: %2").arg(shown, file->errorString());
        return false;
    }
    return true;
}

bool dzReadWholeFile(const QString &path, qint64 maxSize, QByteArray *data, QString *error)
{
    QFile file;
    if (!dzOpenForReading(&file, path, maxSize, error))
        return false;
    // One byte past the limit, so a file that grew meanwhile is caught.
    *data = file.read(maxSize + 1);
    if (data->size() > maxSize) {
        *error = QStringLiteral("%1 is larger than %2").arg(dzDisplayName(path), sizeText(maxSize));
        return false;
    }
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("cannot read %1: %2").arg(dzDisplayName(path), file.errorString());
        return false;
    }
    return true;
}

QString dzWriteTarget(const QString &path)
{
    QByteArray current = dzEncodeFileName(path);
    // A bounded walk, so a loop of links ends (the open then reports it).
    for (int hops = 0; hops < 40; ++hops) {
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(current.constData(), buffer, sizeof buffer);
        if (n < 0 || n >= ssize_t(sizeof buffer))
            break;
        QByteArray link(buffer, n);
        if (!link.startsWith('/')) {
            const QByteArray dir = directoryOf(current);
            link = (dir == "/" ? dir : dir + '/') + link;
        }
        current = link;
    }
    return dzDecodeFileName(current);
}

DzAtomicWriter::~DzAtomicWriter()
{
    cancel();
}

bool DzAtomicWriter::fail(const QString &why)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("cannot write %1: %2").arg(dzDisplayName(m_path), why);
    cancel();
    return false;
}

bool DzAtomicWriter::open(const QString &path)
{
    cancel();
    m_error.clear();
    m_path = path;
    m_target = dzEncodeFileName(dzWriteTarget(path));
    if (m_target.isEmpty() || m_target.endsWith('/'))
        return fail(QStringLiteral("not a file name"));
    struct stat st;
    if (::stat(m_target.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return fail(QStringLiteral("not a regular file"));
        m_mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        m_mode = 0666 & ~mask;
    }
    QByteArray pattern = m_target + kTempMarker + "XXXXXX";
    m_fd = ::mkstemp(pattern.data());
    if (m_fd < 0)
        return fail(reason(errno));
    m_temp = pattern;
    return true;
}

bool DzAtomicWriter::write(const char *data, qint64 size)
{
    if (m_fd < 0)
        return false;
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(reason(errno));
        }
        data += n;
        size -= n;
    }
    return true;
}

bool DzAtomicWriter::commit()
{
    if (m_fd < 0)
        return false;
    if (::fchmod(m_fd, mode_t(m_mode)) != 0 || ::fsync(m_fd) != 0)
        return fail(reason(errno));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        m_fd = -1;
        const QString why = reason(errno);
        ::unlink(m_temp.constData());
        m_temp.clear();
        return fail(why);
    }
    if (::rename(m_temp.constData(), m_target.constData()) != 0) {
        const QString why = reason(errno);
        ::unlink(m_temp.constData());
        m_temp.clear();
        return fail(why);
    }
    m_temp.clear();
    // Make the rename durable; a failure here loses nothing already written.
    const int dir = ::open(directoryOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    dzRemoveStaleTemporaries(m_target);
    return true;
}

void DzAtomicWriter::cancel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.isEmpty()) {
        ::unlink(m_temp.constData());
        m_temp.clear();
    }
}

bool dzWriteFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    DzAtomicWriter writer;
    const bool ok = writer.open(path) && writer.write(data) && writer.commit();
    if (!ok && error)
        *error = writer.errorString();
    return ok;
}

int dzRemoveStaleTemporaries(const QByteArray &target)
{
    const QByteArray dirName = directoryOf(target);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray base = slash < 0 ? target : target.mid(slash + 1);
    DIR *dir = ::opendir(dirName.constData());
    if (!dir)
        return 0;
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!isTemporaryName(name, base))
            continue;
        struct stat st;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        // Only our own regular files, and not one a running writer still fills.
        if (!S_ISREG(st.st_mode) || st.st_uid != ::getuid() || now - st.st_mtime < DzAtomicWriter::kStaleSeconds)
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}
