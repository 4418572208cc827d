#include "framewriter.h"

#include "numbertext.h"

#include "nodekeyreader.h"

#include "dzbone.h"
#include "dzfilesystem.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <charconv>
#include <cstring>
#include <vector>

namespace {

// The buffer is written out once it holds this much, so that memory stays
// flat however many frames there are.
constexpr std::size_t kFlushBytes = 1 << 20;

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
    void integer(long long value) { m_end = std::to_chars(m_end, m_end + 24, value).ptr; }

private:
    std::vector<char> m_data;
    char *m_end;
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

    trelvo::motion::NodeKeyReader hipKeys(hip);
    TextBuffer out(kFlushBytes + frameBytes);
    const auto flush = [&] {
        const bool ok = file.write(out.data(), qint64(out.size()));
        out.clear();
        return ok;
    };
    out.text(QStringLiteral("{\"fps\": %1, \"frames\": [").arg(fps).toUtf8());
    bool ok = true;
    for (qint64 t = 0; ok && t < end; t += step) {
        const DzTime tick = static_cast<DzTime>(t);
        if (t == 0)
            out.text("\n{\"tick\": ");
        else
            out.text(",\n{\"tick\": ");
        out.integer(tick);
        out.text(", \"hipPos\": [");
        const DzVec3 p = hipKeys.localPos(tick);
        out.number(p.m_x);
        out.text(", ");
        out.number(p.m_y);
        out.text(", ");
        out.number(p.m_z);
        out.text("], \"bones\": {");
        for (BoneColumn &c : columns) {
            // The rotation values are read once for both forms.
            const DzVec3 e = c.keys.localRotDegrees(tick);
            const DzQuat q = c.keys.rotationOf(e);
            out.text(c.head);
            out.number(q.m_x);
            out.text(", ");
            out.number(q.m_y);
            out.text(", ");
            out.number(q.m_z);
            out.text(", ");
            out.number(q.m_w);
            out.text("], \"euler\": [");
            out.number(e.m_x);
            out.text(", ");
            out.number(e.m_y);
            out.text(", ");
            out.number(e.m_z);
            out.text(c.tail);
        }
        out.text("}}");
        if (out.size() >= kFlushBytes)
            ok = flush();
    }
    if (ok) {
        out.text("\n]}\n");
        ok = flush();
    }
    if (!ok || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
