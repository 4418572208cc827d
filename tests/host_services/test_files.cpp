// Whole-file access shared by the readers and writers: special files are
// refused without blocking, file names keep bytes that are not UTF-8, and
// the atomic writer keeps modes, writes through links, reports the
// system's reason and clears temporaries a killed writer left.
#include "../support/fifoguard.h"
#include "dzfigureloader.h"
#include "dzfilesystem.h"
#include "dzscenefile.h"
#include "dzskeleton.h"
#include "servicestestsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <cstring>
#include <ctime>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

QByteArray readRaw(const QByteArray &path)
{
    QString error;
    QByteArray data;
    EXPECT_TRUE(dzReadWholeFile(dzDecodeFileName(path), 1 << 20, &data, &error)) << error.toStdString();
    return data;
}

} // namespace

TEST_F(ServicesTest, EveryReaderRefusesANamedPipeAtOnce)
{
    const QString fifo = scratchPath("pipe");
    QByteArray data;
    QString error;
    const std::vector<std::pair<const char *, std::function<QString()>>> readers = {
        { "whole file", [&] { return dzReadWholeFile(fifo, 100, &data, &error) ? QString() : error; } },
        { "figure",
            [&] {
                return std::unique_ptr<DzSkeleton>(DzFigureLoader::loadFile(fifo, &error)) ? "" : error;
            } },
        { "scene", [&] { return loadSceneFile(fifo, &error) ? QString() : error; } },
    };
    for (const auto &[what, read] : readers) {
        FifoGuard guard(fifo); // unblocks a reader that waits, after a few seconds
        QElapsedTimer clock;
        clock.start();
        const QString said = read();
        EXPECT_LT(clock.elapsed(), 2000) << what;
        EXPECT_TRUE(said.contains("not a regular file")) << what << ": " << said.toStdString();
    }
}

TEST_F(ServicesTest, FileNamesKeepBytesThatAreNotUtf8)
{
    const QByteArray names[]
        = { "caf\xc3\xa9.kba", "a\xff.b", "\xc3(", "\xed\xa0\x80", "\xe2\x82", "\x80\x80" };
    for (const QByteArray &name : names) {
        const QString decoded = dzDecodeFileName(name);
        EXPECT_EQ(dzEncodeFileName(decoded), name) << name.toHex().constData();
        if (QString::fromUtf8(name).toUtf8() == name) {
            EXPECT_EQ(decoded, QString::fromUtf8(name)) << "valid names decode as Qt decodes them";
        }
    }
    EXPECT_EQ(dzDisplayName(dzDecodeFileName("a\xff")), QStringLiteral("a\\xff"));
    const char *argv[] = { "prog", "in\xff.kba", "-o" };
    EXPECT_EQ(dzArguments(3, const_cast<char **>(argv)),
        QStringList({ dzDecodeFileName("in\xff.kba"), QStringLiteral("-o") }));

    // Such a file is written and read under its own name, not a substitute.
    const QByteArray path = scratchPath(QString()).toUtf8() + "take\xff.bin";
    QString error;
    ASSERT_TRUE(dzWriteFileAtomically(dzDecodeFileName(path), "payload", &error)) << error.toStdString();
    EXPECT_EQ(readRaw(path), QByteArray("payload"));
    EXPECT_FALSE(QFile::exists(scratchPath(QStringLiteral("take\uFFFD.bin"))));
}

TEST_F(ServicesTest, AtomicWriterKeepsModeWritesThroughLinksAndClearsStaleTemporaries)
{
    const QString target = scratchPath("target.json");
    QString error;
    ASSERT_TRUE(dzWriteFileAtomically(target, "old", &error));
    ASSERT_EQ(::chmod(qPrintable(target), 0600), 0);
    const QString link = scratchPath("link.json");
    ASSERT_EQ(::symlink("target.json", qPrintable(link)), 0);

    ASSERT_TRUE(dzWriteFileAtomically(link, "new", &error)) << error.toStdString();
    struct stat st;
    ASSERT_EQ(::lstat(qPrintable(link), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    ASSERT_EQ(::stat(qPrintable(target), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(readRaw(target.toUtf8()), QByteArray("new"));

    ::umask(022);
    ASSERT_TRUE(dzWriteFileAtomically(scratchPath("fresh"), "x", &error));
    ASSERT_EQ(::stat(qPrintable(scratchPath("fresh")), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "new files get 0666 less the umask";

    // Temporaries a killed writer left beside its target go; others stay.
    const QString scene = scratchPath("scene.trelvo");
    auto make = [&](const char *name, bool old) {
        const QByteArray path = writeScratch(QString::fromLatin1(name), {}).toUtf8();
        if (old) {
            const utimbuf times { std::time(nullptr) - 3600, std::time(nullptr) - 3600 };
            ::utime(path.constData(), &times);
        }
        return path;
    };
    const QByteArray stale = make("scene.trelvo.tmp-Ab12Cd", true);
    const QByteArray fresh = make("scene.trelvo.tmp-Zz99Yy", false); // a writer may still be busy
    const QByteArray other = make("scene.trelvo.backup", true); // the user's own
    const QByteArray otherTarget = make("scene2.trelvo.tmp-Ab12Cd", true);
    ASSERT_TRUE(dzWriteFileAtomically(scene, "data", &error)) << error.toStdString();
    EXPECT_FALSE(QFile::exists(QString::fromLatin1(stale)));
    EXPECT_TRUE(QFile::exists(QString::fromLatin1(fresh)));
    EXPECT_TRUE(QFile::exists(QString::fromLatin1(other)));
    EXPECT_TRUE(QFile::exists(QString::fromLatin1(otherTarget)));
}

TEST_F(ServicesTest, WriteFailuresGiveTheSystemsReasonAndKeepTheOldFile)
{
    // A file size limit makes writes fail the way a full disk does.
    const QString path = scratchPath("scene.trelvo");
    QString error;
    ASSERT_TRUE(dzWriteFileAtomically(path, "old contents", &error));
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = dzWriteFileAtomically(path, QByteArray(4096, 'x'), &error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    const QString reason = QString::fromLocal8Bit(std::strerror(EFBIG));
    EXPECT_TRUE(error.contains(reason)) << error.toStdString();
    EXPECT_EQ(readRaw(path.toUtf8()), QByteArray("old contents"));
    const QStringList left = QDir(scratchPath(QString())).entryList({ "scene.trelvo.*" });
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}
