#include "dzrenderer.h"

DzRenderer::DzRenderer(QObject *parent)
    : QObject(parent)
{
}
