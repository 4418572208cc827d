// Fuzz target: arbitrary bytes read as figure data. A figure that loads is
// written back (DzFigureLoader::saveData) and read again: the second
// figure must write the same bytes, and must pose without trouble.
#include "dzbone.h"
#include "dzfigureloader.h"
#include "dzskeleton.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    std::unique_ptr<DzSkeleton> figure(DzFigureLoader::loadData(bytes, &error));
    if (!figure) {
        if (error.isEmpty())
            std::abort(); // a refusal must say why
        return 0;
    }
    const QByteArray written = DzFigureLoader::saveData(figure.get());
    std::unique_ptr<DzSkeleton> again(DzFigureLoader::loadData(written, &error));
    if (!again || DzFigureLoader::saveData(again.get()) != written)
        std::abort(); // what the writer writes, the reader must read back unchanged
    if (again->getNumBones() != figure->getNumBones())
        std::abort();
    for (DzBone *bone : again->getAllBones())
        bone->getWSPos(0);
    return 0;
}
