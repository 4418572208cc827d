#pragma once
// The pad's arithmetic, free of widgets: the view mapping (pad units <->
// widget pixels, zoom and origin), hit testing, fitting the view to the
// dots, the dot chosen for playback, the playback speed that follows the
// mouse, and the dot labels. The canvas and the layer call these; tests call
// them directly.
//
// Units: pad units are the dots' own coordinates; zoom is pixels per pad
// unit; the origin is the pad point under the widget's top-left pixel.

#include <QPointF>
#include <QString>

#include <vector>

// One dot as the arithmetic sees it.
struct KyPadDot {
    float x = 0.0f;
    float y = 0.0f;
};

class KyPadViewGeometry
{
public:
    // Half the side of a dot's catch square, in pad units.
    static constexpr float kHitRadius = 8.0f;
    // Margin around the dots when fitting, in pad units.
    static constexpr float kFitMargin = 16.0f;
    // Grid spacing in pad units.
    static constexpr float kGridStep = 20.0f;

    float zoom() const { return m_zoom; }
    float originX() const { return m_originX; }
    float originY() const { return m_originY; }
    // The widget's size in pixels (fitting and centring use it).
    int width() const { return m_width; }
    int height() const { return m_height; }
    void setSize(int width, int height);

    // (px − originX) × zoom, truncated toward zero; saturated to the int
    // range so that a far dot never overflows.
    void padToView(float px, float py, int *ix, int *iy) const;
    QPointF viewToPad(int ix, int iy) const;
    void setOrigin(float x, float y);
    // Keeps the pad point under pixel (ix, iy) there. Ignored unless z is a
    // finite number > 0.
    void zoomAt(float z, int ix, int iy);
    // Stored values as read from a file: a zoom that is not finite and > 0,
    // or an origin that is not finite, leaves the view at its defaults.
    void restore(float zoom, float originX, float originY);
    void resetView();
    // Nothing when both are false or there are no dots.
    void fitView(bool zoomToBox, bool centerOnBox, const std::vector<KyPadDot> &dots);
    void zoomToFit(const std::vector<KyPadDot> &dots) { fitView(true, true, dots); }
    void centerView(const std::vector<KyPadDot> &dots) { fitView(false, true, dots); }
    // Zooms out when the dots do not fit, never in; then centres them.
    void zoomOutToFit(const std::vector<KyPadDot> &dots);

    // Grid line spacing in pixels: zoom × 20, at least 1.
    float gridSpacing() const;
    // Zoom after a wheel turn of delta (120 per notch; forward zooms out).
    float wheelZoom(int delta) const;
    // Zoom of a Ctrl+drag dy pixels down from a press at zoom z0 (down zooms in).
    static float dragZoom(float z0, int dy);

private:
    float m_zoom = 1.0f;
    float m_originX = 0.0f;
    float m_originY = 0.0f;
    int m_width = 235;
    int m_height = 335;
};

// Index of the first dot within the catch square of (px, py), or −1.
int kyPadHitTest(const std::vector<KyPadDot> &dots, float px, float py);

// The dot to play for a cursor at (cx, cy): `playing` is the index of the
// first dot whose block is the one playing (−1: none). The playing dot keeps
// playing until another is closer by more than 10 squared pad units; ties go
// to the earlier dot; with nothing playing a dot must lie within 100000
// squared units. Returns −1 when no dot qualifies.
int kyPadChooseDot(const std::vector<KyPadDot> &dots, int playing, float cx, float cy);

// The speed that follows the mouse, shared by all layers (one drag at a time).
struct KyPadSpeedState {
    float lastX = 0.0f;
    float lastY = 0.0f;
    int lastTime = 0;          // ms, of the previous update
    float playbackSpeed = 1.0f;
    float acceleration = 0.0f; // speed change per ms
};

// One update at wall-clock `nowMs` with the cursor at (cx, cy): the speed
// moves towards 5 × distance ÷ ms (distance capped at 30 units, ms at 100,
// target at 2.0) by at most 0.001 per ms. A cursor that did not move leaves
// speed and acceleration alone. The cursor and time are remembered in either
// case. Returns whether the cursor moved.
bool kyPadUpdateSpeed(KyPadSpeedState &state, float cx, float cy, int nowMs);

// The speed label: "%1%" of speed × 100, truncated.
QString kyPadSpeedText(float speed);

// A dot's label from its block's name: a leading "s_" dropped, cut to 15
// characters plus "..." when longer, then every "_" shown as a space.
QString kyPadDotLabel(const QString &blockName);
