#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFile;

// File names and whole-file access shared by every reader and writer of the
// programs.
//
// File names: a Linux file name is a string of bytes. Qt decodes it with the
// locale's codec, which turns bytes that are not valid UTF-8 into U+FFFD and
// so loses the name. dzDecodeFileName keeps such bytes as the lone
// surrogates U+DC80..U+DCFF ("surrogate escape") and dzEncodeFileName turns
// them back, so every name the command line or a folder listing gives can
// be opened again. QFile cannot open such a QString by itself: open through
// dzOpenForReading and write through DzAtomicWriter.
QString dzDecodeFileName(const QByteArray &bytes);
QByteArray dzEncodeFileName(const QString &name);
// argv (without the program name) decoded with dzDecodeFileName.
QStringList dzArguments(int argc, char **argv);
// For messages: the name with escaped bytes shown as \xNN.
QString dzDisplayName(const QString &name);

// Checks, without opening it, that path names an existing regular file
// (symbolic links followed). Named pipes, devices and folders are refused:
// opening a pipe to read it would wait for a writer forever.
bool dzIsRegularFile(const QString &path, QString *error = nullptr);

// Size in bytes of the file at path, -1 when it cannot be read.
qint64 dzFileSize(const QString &path);

// Opens path for reading after dzIsRegularFile, without ever blocking on a
// special file; at most maxSize bytes are allowed. The messages name path.
bool dzOpenForReading(QFile *file, const QString &path, qint64 maxSize, QString *error);
// dzOpenForReading and read everything.
bool dzReadWholeFile(const QString &path, qint64 maxSize, QByteArray *data, QString *error);

// The file a writer replaces for path: a symbolic link is followed to its
// target (as editors do), so the link stays and the target gets the data.
QString dzWriteTarget(const QString &path);

// Replaces a file atomically: the data goes to NAME.tmp-XXXXXX beside the
// target (dzWriteTarget), is flushed to disk and renamed over it. The file
// keeps the mode of the file it replaces (new files get 0666 less the
// umask). Messages carry the system's reason ("No space left on device").
// After a successful commit, temporaries of the same target left by a
// writer that was killed before its rename are removed. On failure, or when
// the writer is destroyed without commit(), the target is untouched and the
// temporary removed.
class DzAtomicWriter {
public:
    DzAtomicWriter() = default;
    ~DzAtomicWriter();
    DzAtomicWriter(const DzAtomicWriter &) = delete;
    DzAtomicWriter &operator=(const DzAtomicWriter &) = delete;

    bool open(const QString &path);
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    bool commit();
    void cancel();
    // The first failure, as "cannot write PATH: REASON".
    QString errorString() const { return m_error; }

    // Temporaries older than this are taken as left by a killed writer.
    static constexpr int kStaleSeconds = 60;

private:
    bool fail(const QString &reason);

    QString m_path;
    QByteArray m_target;
    QByteArray m_temp;
    int m_fd = -1;
    unsigned m_mode = 0;
    QString m_error;
};

// DzAtomicWriter in one call.
bool dzWriteFileAtomically(const QString &path, const QByteArray &data, QString *error);

// Removes NAME.tmp-XXXXXX files beside target (our writers' pattern) that
// are regular files of ours older than kStaleSeconds. Returns how many.
int dzRemoveStaleTemporaries(const QByteArray &target);
