#pragma once
// KyPadPose: one dot of a pad layer - its position on the pad, its kinBlock
// and a snapshot of the figure's pose, one KyPadNodeData per entry of the
// figure's node list (kypadnodelist.h).
//
// The node data vector may be shorter than the node list (the figure gained
// nodes after the capture) and may hold null entries (a hostile or damaged
// file); every operation skips such nodes instead of reading past the end.
//
// backwardCompatible: the stored values are local-transform values still to
// be converted into control values (convertLocalTransforms), as scripts and
// older files hand them over.

#include "dzbase.h"
#include "dzquat.h"
#include "dzvec3.h"

#include <QPointer>
#include <QString>

#include <vector>

#include "dznode.h"
class KyBlock;
class KyPadNodeData;

class KyPadPose : public DzBase
{
    Q_OBJECT
public:
    KyPadPose(KyBlock *block = nullptr, float x = 0.0f, float y = 0.0f, DzNode *figure = nullptr,
              bool captureNow = false);
    ~KyPadPose() override;

    float x;
    float y;
    bool backwardCompatible = true;

    DzNode *figure() const { return m_figure.data(); }
    void setFigure(DzNode *figure) { m_figure = figure; }
    // Not owned: blocks belong to the block registry.
    KyBlock *block() const { return m_block; }
    void setBlock(KyBlock *block);
    // The block's path, or the path read from a file whose block could not
    // be loaded (kept so that the next save writes it back).
    QString blockPath() const;

    int numNodeData() const { return static_cast<int>(m_nodeData.size()); }
    // Entry i, or null (past the end, or an empty entry).
    KyPadNodeData *nodeData(int i) const;
    // Takes ownership; replaces (and deletes) entry i, growing the vector.
    void setNodeDataAt(int i, KyPadNodeData *data);
    void clearNodeData();

    // Stores the figure's current control values.
    void capture();
    // Sets the figure's controls from the stored values.
    void apply();
    // Turns local-transform values into control values (and poses the figure).
    void convertLocalTransforms();
    // Whether both poses store the same transform for entry i (tolerance for
    // float noise); false when either has no entry there.
    bool sameTransform(const KyPadPose &other, int i) const;

    void save(DzOutFile *file) override;
    void loadSection(DzInFile *file, short id) override;
    void setPointer(const DzInFile *file, short section, short id, DzBase *object) override;
    void postLoad() override;

public slots:
    void setNodeData(QString nodeName, DzVec3 pos, DzVec3 scale, double genScale, DzQuat rot);
    KyPadNodeData *findNodeData(QString nodeName);
    KyPadNodeData *findNodeData(QString nodeName, bool isTopLevel);

private:
    QPointer<DzNode> m_figure;
    KyBlock *m_block = nullptr;
    QString m_missingPath;
    std::vector<KyPadNodeData *> m_nodeData;
};

// Block files that dots referred to but that could not be read while scenes
// were loaded, each once, in the order met.
QStringList kyPadMissingBlocks();
// Shows one message listing them (when there are any) and forgets them.
void kyPadReportMissingBlocks();
