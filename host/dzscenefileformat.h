#pragma once

#include "dzguid.h"

#include <QObject>
#include <QString>

// The host's own records in a scene file (dzscenefile.h). They are read and
// written by the scene reader and writer only, never through the class
// registry, so that nodes and properties are only ever made by the loader
// and never by a stray reference.
namespace DzSceneFormat {

inline const DzGUID kSceneClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D11"));
inline const DzGUID kNodeClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D12"));
inline const DzGUID kSkeletonClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D13"));
inline const DzGUID kBoneClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D14"));
inline const DzGUID kPropertyClass = DzGUID::fromString(QStringLiteral("7A1C3E52-9B04-4D6F-8E21-3C5B7F9A0D15"));

constexpr int kSceneVersion = 1;

// Limits of what a scene file may hold. A figure has at most 4096 bones, so
// every figure the program can load fits in one chain of kMaxDepth; the
// node count allows a crowd of such figures.
constexpr int kMaxNodes = 100000;
constexpr int kMaxDepth = 4096;

// Scene record sections.
enum : short {
    SceneVersion = 1,
    SceneTime = 2,
    SceneTimeStep = 3,
    ScenePlayRange = 4,
    SceneAnimRange = 5,
    SceneLooping = 6,
    SceneFigures = 7,
    SceneData = 8,
    SceneSelection = 9,
    SceneAudio = 10,
};

// Node record sections.
enum : short {
    NodeName = 1,
    NodeLabel = 2,
    NodeHidden = 3,
    NodeRotationOrder = 4,
    NodeOrigin = 5,
    NodeEndPoint = 6,
    NodeChildren = 7,
    NodeFollow = 8,
    NodeProperties = 9,
    NodeObject = 10,
    NodeDataItems = 11,
};

// Property record sections.
enum : short {
    PropName = 1,
    PropLabel = 2,
    PropFlags = 3,
    PropValues = 4,
    PropLimits = 5,
    PropKeys = 6,
};

inline QString className(const QObject *object)
{
    return QString::fromLatin1(object->metaObject()->className());
}

inline bool isNodeClass(const DzGUID &id)
{
    return id == kNodeClass || id == kSkeletonClass || id == kBoneClass;
}

inline bool isHostClass(const DzGUID &id)
{
    return id == kSceneClass || id == kPropertyClass || isNodeClass(id);
}

} // namespace DzSceneFormat
