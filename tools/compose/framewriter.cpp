#include "framewriter.h"

#include "numbertext.h"

#include "nodekeyreader.h"

#include "dzbone.h"
#include "dzfilesystem.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Frames are formatted and written in blocks of about this much text, so
// that memory stays flat however many frames there are.
constexpr std::size_t kBlockBytes = 256 << 10;

// A JSON string (RFC 8259): quotes, backslashes and control characters
// escaped, so any bone name gives a file every JSON reader reads.
QString jsonString(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\\')
            out += QLatin1Char('\\') + c;
        else if (u == '\n')
            out += QStringLiteral("\\n");
        else if (u == '\t')
            out += QStringLiteral("\\t");
        else if (u == '\r')
            out += QStringLiteral("\\r");
        else if (u < 0x20)
            out += QStringLiteral("\\u%1").arg(unsigned(u), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

// What one bone writes around its numbers, fixed for the whole run.
struct BoneColumn {
    trelvo::motion::NodeKeyReader keys;
    QByteArray head; // [", "] "name": {"quat": [
    QByteArray tail; // ], "order": "YZX"}
};

class TextBuffer
{
public:
    explicit TextBuffer(std::size_t capacity)
        : m_data(capacity)
        , m_end(m_data.data())
    {
    }

    std::size_t size() const { return std::size_t(m_end - m_data.data()); }
    void clear() { m_end = m_data.data(); }
    const char *data() const { return m_data.data(); }

    void text(const QByteArray &bytes)
    {
        std::memcpy(m_end, bytes.constData(), std::size_t(bytes.size()));
        m_end += bytes.size();
    }
    template<std::size_t N>
    void text(const char (&literal)[N])
    {
        std::memcpy(m_end, literal, N - 1);
        m_end += N - 1;
    }
    void number(double value) { m_end = writeNumberText(m_end, value); }
    // Values separated by ", ", as JSON arrays list them.
    void numbers(std::initializer_list<double> values)
    {
        for (const double &v : values) {
            if (&v != values.begin())
                text(", ");
            number(v);
        }
    }
    void integer(long long value) { m_end = std::to_chars(m_end, m_end + 24, value).ptr; }

private:
    std::vector<char> m_data;
    char *m_end;
};

// Formats frames into text; each thread has its own, with its own key
// readers.
class FrameFormatter
{
public:
    FrameFormatter(DzNode *hip, std::vector<BoneColumn> columns)
        : m_hip(hip)
        , m_columns(std::move(columns))
    {
    }

    // Frames first to end - 1 (frame f at tick f × step).
    void format(TextBuffer &out, qint64 first, qint64 end, DzTime step)
    {
        for (qint64 f = first; f < end; ++f) {
            const DzTime tick = static_cast<DzTime>(f * step);
            if (f == 0)
                out.text("\n{\"tick\": ");
            else
                out.text(",\n{\"tick\": ");
            out.integer(tick);
            out.text(", \"hipPos\": [");
            const DzVec3 p = m_hip.localPos(tick);
            out.numbers({ p.m_x, p.m_y, p.m_z });
            out.text("], \"bones\": {");
            for (BoneColumn &c : m_columns) {
                // The rotation values are read once for both forms.
                const DzVec3 e = c.keys.localRotDegrees(tick);
                const DzQuat q = c.keys.rotationOf(e);
                out.text(c.head);
                out.numbers({ q.m_x, q.m_y, q.m_z, q.m_w });
                out.text("], \"euler\": [");
                out.numbers({ e.m_x, e.m_y, e.m_z });
                out.text(c.tail);
            }
            out.text("}}");
        }
    }

private:
    trelvo::motion::NodeKeyReader m_hip;
    std::vector<BoneColumn> m_columns;
};

// The odd blocks of frames, formatted on a thread of their own into two
// buffers taking turns, while the caller formats the even ones and writes
// all of them in order.
class OddBlocks
{
public:
    OddBlocks(FrameFormatter formatter, std::size_t capacity, qint64 blocks, qint64 framesPerBlock,
              qint64 frames, DzTime step)
        : m_formatter(std::move(formatter))
        , m_slots{Slot{TextBuffer(capacity)}, Slot{TextBuffer(capacity)}}
    {
        m_thread = std::thread([this, blocks, framesPerBlock, frames, step] {
            for (qint64 block = 1, turn = 0; block < blocks; block += 2, ++turn) {
                Slot &slot = m_slots[turn % 2];
                {
                    std::unique_lock<std::mutex> lock(m_mutex);
                    m_changed.wait(lock, [&] { return !slot.ready || m_stop; });
                    if (m_stop)
                        return;
                }
                m_formatter.format(slot.text, block * framesPerBlock,
                                   std::min(frames, (block + 1) * framesPerBlock), step);
                std::lock_guard<std::mutex> lock(m_mutex);
                slot.ready = true;
                m_changed.notify_all();
            }
        });
    }
    OddBlocks(const OddBlocks &) = delete;
    OddBlocks &operator=(const OddBlocks &) = delete;
    ~OddBlocks()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
            m_changed.notify_all();
        }
        m_thread.join();
    }

    // Waits for the odd block of this turn (0 for block 1, 1 for block 3,
    // ...), hands its text to write and frees the buffer.
    template<typename Write>
    bool take(qint64 turn, Write write)
    {
        Slot &slot = m_slots[turn % 2];
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [&] { return slot.ready; });
        }
        const bool ok = write(slot.text);
        std::lock_guard<std::mutex> lock(m_mutex);
        slot.text.clear();
        slot.ready = false;
        m_changed.notify_all();
        return ok;
    }

private:
    struct Slot {
        TextBuffer text;
        bool ready = false;
    };

    FrameFormatter m_formatter;
    Slot m_slots[2];
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

bool writeFrames(const QString &path, DzSkeleton *figure, int fps, QString *error)
{
    DzAtomicWriter file;
    if (!file.open(path)) {
        *error = file.errorString();
        return false;
    }
    DzNode *hip = figure->findNodeChild(QStringLiteral("hip"), false);
    if (!hip)
        hip = figure;
    const DzTime step = dzScene->getTimeStep();
    const DzTime end = dzScene->getAnimRange().getEnd();
    const qint64 frames = end > 0 ? (qint64(end) + step - 1) / step : 0;

    // A bone's name and rotation order do not change while the frames are read.
    std::vector<BoneColumn> columns;
    std::size_t frameBytes = 128 + 3 * kMaxNumberText;
    for (DzBone *bone : figure->getAllBones()) {
        BoneColumn c{trelvo::motion::NodeKeyReader(bone), {}, {}};
        c.head = ((columns.empty() ? QString() : QStringLiteral(", ")) + jsonString(bone->getName())
                  + QStringLiteral(": {\"quat\": ["))
                     .toUtf8();
        c.tail = (QStringLiteral("], \"order\": \"") + bone->getRotationOrder().toString()
                  + QStringLiteral("\"}"))
                     .toUtf8();
        frameBytes += std::size_t(c.head.size() + c.tail.size()) + 7 * (kMaxNumberText + 2) + 16;
        columns.push_back(std::move(c));
    }

    // Blocks of about kBlockBytes; with more than one, two threads format them.
    const qint64 framesPerBlock = qint64(std::max<std::size_t>(1, kBlockBytes / frameBytes));
    const qint64 blocks = (frames + framesPerBlock - 1) / framesPerBlock;
    const std::size_t capacity = std::size_t(framesPerBlock) * frameBytes + 64;
    FrameFormatter formatter(hip, columns);
    std::unique_ptr<OddBlocks> odd;
    if (blocks > 1)
        odd = std::make_unique<OddBlocks>(FrameFormatter(hip, std::move(columns)), capacity, blocks,
                                          framesPerBlock, frames, step);

    TextBuffer out(capacity);
    const auto write = [&](TextBuffer &text) {
        const bool ok = file.write(text.data(), qint64(text.size()));
        text.clear();
        return ok;
    };
    out.text(QStringLiteral("{\"fps\": %1, \"frames\": [").arg(fps).toUtf8());
    bool ok = true;
    for (qint64 block = 0; ok && block < blocks; ++block) {
        if (block % 2 == 1) {
            ok = odd->take(block / 2, write);
            continue;
        }
        formatter.format(out, block * framesPerBlock, std::min(frames, (block + 1) * framesPerBlock), step);
        ok = write(out);
    }
    odd.reset();
    if (ok) {
        out.text("\n]}\n");
        ok = write(out);
    }
    if (!ok || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
