#pragma once

#include <QList>
#include <QWidget>

// The time bar's ruler: the animation range in frames across the width, the
// play range as a lighter band, key marks of the selection, and the current
// frame as a playhead. Pressing or dragging asks for a frame; the time bar
// decides what to do with it.
class TimeScrubber : public QWidget {
    Q_OBJECT
public:
    explicit TimeScrubber(QWidget *parent = nullptr);

    // Frames are whole numbers. A reversed range is put in order.
    void setAnimRange(int first, int last);
    void setPlayRange(int first, int last);
    void setCurrentFrame(int frame);
    // Frames that hold keys of the selection (duplicates allowed).
    void setKeyFrames(const QList<int> &frames);

    int currentFrame() const { return m_current; }
    int firstFrame() const { return m_first; }
    int lastFrame() const { return m_last; }
    const QList<int> &keyFrames() const { return m_keys; }

    // Pixel <-> frame mapping over a ruler of `width` pixels with `margin`
    // pixels kept free at either end. frameAt rounds to the nearest frame and
    // clamps to [first, last]; a degenerate range maps everything to first.
    static double xForFrame(double frame, int first, int last, int width, int margin);
    static int frameAt(double x, int first, int last, int width, int margin);
    // Frames between two ticks of the ruler for a range drawn over
    // trackWidth pixels: ticks at least 6 px apart, so a paint draws at most
    // one tick every 6 px whatever the range.
    static qint64 tickStep(int first, int last, double trackWidth);
    static constexpr int kMargin = 12;

    QSize sizeHint() const override { return QSize(400, 38); }
    QSize minimumSizeHint() const override { return QSize(120, 34); }

signals:
    void scrubStarted();
    void frameRequested(int frame);
    void scrubFinished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_first = 0;
    int m_last = 30;
    int m_playFirst = 0;
    int m_playLast = 30;
    int m_current = 0;
    QList<int> m_keys;
    bool m_scrubbing = false;
};
