#include "dzmodifier.h"

DzModifier::DzModifier(const QString &name, QObject *parent) : DzElement(name, parent)
{
}
