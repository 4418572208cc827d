#pragma once

#include "dztime.h"

#include <QByteArray>
#include <QObject>

#include <functional>

// A clip of PCM sound (interleaved little-endian samples). This host has no
// audio output device, so the clip models playback honestly without sound:
// while started, its position advances with a clock (setClock) times the rate
// value, up to the clip's length, where it stops by itself when next read.
class DzAudioClip : public QObject
{
    Q_OBJECT
public:
    explicit DzAudioClip(QObject *parent = nullptr);

    // Sets the samples. Refuses (returns false, keeps the previous data) a
    // sample rate outside 1..768000, channels outside 1..32, bytes per sample
    // other than 1, 2, 3 or 4, or data whose size is not a whole number of
    // frames.
    bool setPcmData(const QByteArray &pcm, int sampleRate, int channels, int bytesPerSample);
    const QByteArray &getPcmData() const { return m_pcm; }
    int getSampleRate() const { return m_sampleRate; }
    int getNumChannels() const { return m_channels; }
    int getBytesPerSample() const { return m_bytesPerSample; }

    // Length in ticks (frames x 4800 / sample rate, truncated).
    DzTime getLength() const { return m_length; }
    // Position in ticks from the clip's start (0..length).
    DzTime getPosition() const;
    // Clamped to 0..length.
    void setPosition(DzTime position);
    // Playback rate (1.0 = normal speed); negative and non-finite values
    // become 0.
    double getValue() const { return m_rate; }
    void setValue(double rate);

    // Starting at the end of the clip plays nothing (the clip stays stopped).
    void start();
    void stop();
    bool isPlaying() const;

    // The clock playback follows, in milliseconds (by default a steady
    // clock); tests give their own. Null restores the default.
    void setClock(std::function<qint64()> msNow);

signals:
    void started();
    void stopped();

private:
    static qint64 steadyClockMs();
    void anchor() const;
    void syncPosition() const;

    QByteArray m_pcm;
    int m_sampleRate = 0;
    int m_channels = 0;
    int m_bytesPerSample = 0;
    DzTime m_length = 0;
    mutable DzTime m_position = 0;
    mutable bool m_playing = false;
    std::function<qint64()> m_now = &DzAudioClip::steadyClockMs;
    // Position and clock reading when playback last started or changed.
    mutable DzTime m_anchorPosition = 0;
    mutable qint64 m_anchorMs = 0;
    double m_rate = 1.0;
};
