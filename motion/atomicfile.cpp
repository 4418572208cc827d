#include "atomicfile.h"

#include "dzfilesystem.h"

namespace trelvo::motion {

// The host's writer: symbolic links written through, the file's mode kept,
// stale temporaries of a killed writer removed.
bool writeFileAtomically(const std::filesystem::path &path, std::string_view bytes, std::string *error)
{
    QString why;
    const QByteArray data(bytes.data(), qsizetype(bytes.size()));
    if (dzWriteFileAtomically(dzDecodeFileName(QByteArray::fromStdString(path.string())), data, &why))
        return true;
    if (error)
        *error = why.toStdString();
    return false;
}

} // namespace trelvo::motion
