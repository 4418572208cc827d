#pragma once
// Blocks dropped on the pad. Drags inside the program are text drags named
// after the dragged tile's class; the receiver takes the block from the
// drag's source widget:
//  - "KyMasterBlock" (a tile on a timeline track): the tile's block is the
//    track's own copy, so the registered block of the same path is used;
//  - "KyFinderBlock" (a tile of the block browser): the registered block of
//    the file named by the "kyBlockPath" property of the source (or of its
//    nearest ancestor that has one).
// Anything else carries no block.

#include <QString>

class KyBlock;
class QObject;

KyBlock *kyPadDroppedBlock(const QString &text, QObject *source);
