#pragma once
// Blocks dropped on the pad. Drags inside the program are text drags named
// after the dragged tile's class; the receiver takes the block from the
// drag's source widget:
//  - "KyMasterBlock" (a tile on a timeline track): the tile's block is the
//    track's own copy, so the registered block of the same path is used;
//  - "KyFinderBlock" (a tile of the block browser): the tile's block itself,
//    asked of the source (or its nearest ancestor that answers) through its
//    invokable `block()` returning KyBlock*, or else through its "path"
//    property, whose registered block is used.
// Anything else carries no block.

#include <QString>

class KyBlock;
class QObject;

KyBlock *kyPadDroppedBlock(const QString &text, QObject *source);
