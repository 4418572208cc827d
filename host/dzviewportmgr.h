#pragma once

#include <QObject>

// Brackets interactive manipulation (a drag on the pose pad, a gizmo drag)
// so that viewports can defer expensive redraws until it ends.
//
// startManipulation()/endManipulation() nest: manipulationStarted() is
// emitted when the outermost bracket opens, manipulationEnded() when it
// closes. An endManipulation() without a matching start is ignored and
// logged; it never makes the depth negative.
class DzViewportMgr : public QObject {
    Q_OBJECT
public:
    explicit DzViewportMgr(QObject *parent = nullptr);

    void startManipulation();
    void endManipulation();
    bool isManipulating() const { return m_depth > 0; }
    int getManipulationDepth() const { return m_depth; }

signals:
    void manipulationStarted();
    void manipulationEnded();

private:
    int m_depth = 0;
};
