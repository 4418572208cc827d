#pragma once
// The small widgets on a track besides the tiles: the playhead
// (KyMasterPlayhead), the blend handle of the current tile (KyMasterBlend)
// and its two adjusters (KyMasterLAdjuster trims the start,
// KyMasterRAdjuster sets the end and loops past the clip). Each paints a
// fixed polygon and is masked to it, so only its painted pixels take the
// mouse. The arithmetic of every gesture is KyTrackGeometry's; a handle drag
// is one undo step, opened on press and committed on release.

#include <QPolygon>
#include <QWidget>

class KyMasterLayout;

class KyMasterShape : public QWidget
{
    Q_OBJECT
public:
    KyMasterShape(KyMasterLayout *layout, const QPolygon &shape, const QSize &size, QWidget *parent);
    KyMasterLayout *trackLayout() const { return m_layout; }
    bool isHovered() const { return m_hovered; }
    bool isDragging() const { return m_dragging; }

protected:
    virtual QColor colour() const;
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

    KyMasterLayout *m_layout;
    QPolygon m_shape;
    bool m_hovered = false;
    bool m_dragging = false;
};

class KyMasterPlayhead : public KyMasterShape
{
    Q_OBJECT
public:
    KyMasterPlayhead(KyMasterLayout *layout, QWidget *parent);

protected:
    QColor colour() const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_lengthAtPress = 0;
};

class KyMasterBlend : public KyMasterShape
{
    Q_OBJECT
public:
    KyMasterBlend(KyMasterLayout *layout, QWidget *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

class KyMasterAdjuster : public KyMasterShape
{
    Q_OBJECT
public:
    static constexpr int kWidth = 14;
    KyMasterAdjuster(KyMasterLayout *layout, QWidget *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // The pointer's x in the current tile's coordinates.
    int tileX(QMouseEvent *event) const;

    int m_inPointAtPress = 0;
    int m_startAtPress = 0;
    int m_lengthAtPress = 0;
    virtual QString caption() const = 0;
};

class KyMasterLAdjuster : public KyMasterAdjuster
{
    Q_OBJECT
public:
    using KyMasterAdjuster::KyMasterAdjuster;

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    QString caption() const override;
};

class KyMasterRAdjuster : public KyMasterAdjuster
{
    Q_OBJECT
public:
    using KyMasterAdjuster::KyMasterAdjuster;

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    QString caption() const override;
};
