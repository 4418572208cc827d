#include "kypaddrop.h"

#include "kymasterblock.h"

#include "kyblock.h"

#include <QMetaObject>
#include <QVariant>

namespace {

KyBlock *blockOfSource(QObject *source)
{
    for (QObject *o = source; o; o = o->parent()) {
        const QMetaObject *meta = o->metaObject();
        if (meta->indexOfMethod("block()") >= 0) {
            KyBlock *block = nullptr;
            if (QMetaObject::invokeMethod(o, "block", Qt::DirectConnection, Q_RETURN_ARG(KyBlock *, block)) && block)
                return block;
        }
        const QVariant path = o->property("path");
        if (path.canConvert<QString>() && !path.toString().isEmpty())
            return KyBlock::get(path.toString());
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
