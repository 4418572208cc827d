#include "dzundoitem.h"

DzUndoItem::~DzUndoItem() = default;
