#include "dzaudioclip.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

DzAudioClip::DzAudioClip(QObject *parent) : QObject(parent)
{
}

bool DzAudioClip::setPcmData(const QByteArray &pcm, int sampleRate, int channels, int bytesPerSample)
{
    if (sampleRate < 1 || sampleRate > 768000 || channels < 1 || channels > 32
        || bytesPerSample < 1 || bytesPerSample > 4)
        return false;
    const qint64 frameBytes = qint64(channels) * bytesPerSample;
    if (pcm.size() % frameBytes != 0)
        return false;
    stop();
    m_pcm = pcm;
    m_sampleRate = sampleRate;
    m_channels = channels;
    m_bytesPerSample = bytesPerSample;
    const qint64 frames = pcm.size() / frameBytes;
    const qint64 ticks = frames * DZ_TICKS_PER_SECOND / sampleRate;
    m_length = DzTime(std::min<qint64>(ticks, 0x7fffffff));
    m_position = std::min(m_position, m_length);
    return true;
}

qint64 DzAudioClip::steadyClockMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

void DzAudioClip::setClock(std::function<qint64()> msNow)
{
    syncPosition();
    m_now = msNow ? std::move(msNow) : &DzAudioClip::steadyClockMs;
    anchor();
}

void DzAudioClip::anchor() const
{
    m_anchorPosition = m_position;
    m_anchorMs = m_now();
}

void DzAudioClip::syncPosition() const
{
    if (!m_playing)
        return;
    // From the last anchor, so that frequent reads do not lose the part of
    // a tick each would round away.
    const double advanced = double(m_now() - m_anchorMs) * (DZ_TICKS_PER_SECOND / 1000.0) * m_rate;
    const double pos = double(m_anchorPosition) + advanced;
    if (pos >= double(m_length)) {
        m_position = m_length;
        m_playing = false;
    } else {
        m_position = DzTime(pos);
    }
}

DzTime DzAudioClip::getPosition() const
{
    syncPosition();
    return m_position;
}

void DzAudioClip::setPosition(DzTime position)
{
    syncPosition();
    m_position = std::clamp(position, DzTime(0), m_length);
    anchor();
}

void DzAudioClip::setValue(double rate)
{
    syncPosition();
    m_rate = (std::isfinite(rate) && rate > 0.0) ? rate : 0.0;
    anchor();
}

void DzAudioClip::start()
{
    syncPosition();
    if (m_playing || m_position >= m_length)
        return;
    m_playing = true;
    anchor();
    emit started();
}

void DzAudioClip::stop()
{
    syncPosition();
    if (!m_playing)
        return;
    m_playing = false;
    emit stopped();
}

bool DzAudioClip::isPlaying() const
{
    syncPosition();
    return m_playing;
}
