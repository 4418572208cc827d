#include "dzcontentmgr.h"

#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// The folder holding the dzcore library file, found through the address of
// a function inside it.
QString libraryDirectory()
{
    Dl_info info {};
    if (dladdr(reinterpret_cast<void *>(&libraryDirectory), &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

} // namespace

DzContentMgr::DzContentMgr(QObject *parent)
    : QObject(parent)
{
}

QString DzContentMgr::defaultContentDirectory()
{
    const QString env = qEnvironmentVariable("TRELVO_CONTENT");
    if (!env.isEmpty() && QFileInfo(env).isDir())
        return QDir::cleanPath(QFileInfo(env).absoluteFilePath());

    const QString libDir = libraryDirectory();
    if (!libDir.isEmpty()) {
        const QString installed
            = QDir::cleanPath(libDir + QStringLiteral("/../") + QStringLiteral(DZCORE_INSTALL_CONTENT_DIR));
        if (QFileInfo(installed).isDir())
            return installed;
    }
    return QDir::cleanPath(QStringLiteral(DZCORE_SOURCE_CONTENT_DIR));
}

QString DzContentMgr::getContentDirectory() const
{
    return m_directory.isEmpty() ? defaultContentDirectory() : m_directory;
}

bool DzContentMgr::setContentDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isDir())
        return false;
    const QString dir = QDir::cleanPath(info.absoluteFilePath());
    if (dir != m_directory) {
        m_directory = dir;
        emit contentDirectoryChanged(dir);
    }
    return true;
}

void DzContentMgr::resetContentDirectory()
{
    if (m_directory.isEmpty())
        return;
    m_directory.clear();
    emit contentDirectoryChanged(getContentDirectory());
}

QString DzContentMgr::getAbsolutePath(const QString &relative) const
{
    if (relative.isEmpty())
        return QString();
    const QString path = QDir::isAbsolutePath(relative)
        ? QDir::cleanPath(relative)
        : QDir::cleanPath(getContentDirectory() + u'/' + relative);
    return QFileInfo::exists(path) ? path : QString();
}
