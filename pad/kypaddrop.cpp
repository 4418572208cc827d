#include "kypaddrop.h"

#include "kymasterblock.h"

#include "kyblock.h"

#include <QVariant>

namespace {

KyBlock *blockOfSource(QObject *source)
{
    // Library tiles name their block file; the pad takes the registered block.
    for (QObject *o = source; o; o = o->parent()) {
        const QString path = o->property("kyBlockPath").toString();
        if (!path.isEmpty())
            return KyBlock::get(path);
    }
    return nullptr;
}

} // namespace

KyBlock *kyPadDroppedBlock(const QString &text, QObject *source)
{
    if (text == QLatin1String("KyMasterBlock")) {
        for (QObject *o = source; o; o = o->parent()) {
            if (auto *tile = qobject_cast<KyMasterBlock *>(o))
                return tile->block() ? KyBlock::get(tile->block()->path) : nullptr;
        }
        return nullptr;
    }
    if (text == QLatin1String("KyFinderBlock"))
        return blockOfSource(source);
    return nullptr;
}
