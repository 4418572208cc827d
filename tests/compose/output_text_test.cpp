// The composer's output: its number text against QString::number(v, 'g', 9)
// over millions of values, keyed values read frame by frame against the
// node's own, and whole frame files against the QString-built text the
// composer wrote before it had its own buffer.
#include "framewriter.h"
#include "nodekeyreader.h"
#include "numbertext.h"

#include "dzapp.h"
#include "dzbone.h"
#include "dzfigureloader.h"
#include "dzfloatproperty.h"
#include "dzscene.h"
#include "dzskeleton.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

TEST(NumberText, MatchesQStringNumberG9)
{
    // Counts the values checked; prints the first few whose text differs from Qt's.
    long checked = 0, wrong = 0;
    const auto check = [&](double v) {
        ++checked;
        const QByteArray want = QString::number(v, 'g', 9).toLatin1();
        char text[kMaxNumberText];
        const QByteArray got(text, writeNumberText(text, v) - text);
        if (got != want && ++wrong <= 10)
            ADD_FAILURE() << "value " << QByteArray::number(v, 'g', 17).constData() << ": \""
                          << got.constData() << "\", Qt \"" << want.constData() << "\"";
    };
    const double inf = std::numeric_limits<double>::infinity();
    // Zeros, NaN and infinities, the switch to exponents, the smallest
    // denormal, rounding up to the next power, and exact ties (away from
    // zero, where %.9g rounds to even).
    for (const double v : { 0.0, std::nan(""), inf, 1e-5, 1e-4, 1e21, 1e100, 5e-324, 123456789.0, 999999999.5,
             1234567885.0, 12345678.25, 0.1, 2.5e-5 }) {
        check(v);
        check(-v);
    }

    std::mt19937_64 random(2026);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 1000000; ++i) {
        // Every bit pattern: subnormals, huge exponents, NaN payloads.
        const std::uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        check(v);
        // What composing gives: quaternion parts, degrees, centimetres,
        // computed in double or stored in float.
        const double scaled = unit(random) * std::pow(10.0, int(random() % 30) - 15);
        check(scaled);
        check(double(float(scaled)));
    }
    for (int i = 0; i < 200000; ++i) {
        // Exact ties: a ten-digit odd multiple of five times 2^-k.
        const std::uint64_t tenDigits = (1000000000 + random() % 9000000000) / 10 * 10 + 5;
        const int k = int(random() % 15);
        check(std::ldexp(double(tenDigits), -k));
        check(-std::ldexp(double(tenDigits / 5), -k));
    }
    for (int p = -22; p <= 22; ++p) {
        // Around each power of ten and each nine-digit rounding boundary.
        const double base = std::pow(10.0, p);
        for (const double start : { base, base * 0.9999999995, base * 9.999999995 }) {
            double up = start;
            double down = start;
            for (int step = 0; step < 200; ++step) {
                check(up);
                check(down);
                up = std::nextafter(up, inf);
                down = std::nextafter(down, 0.0);
            }
        }
    }
    EXPECT_GT(checked, 3000000);
}

// The frame text as the composer built it with QString (kept here as the
// reference the buffer must match byte for byte).
QByteArray qstringFrames(DzSkeleton *figure, int fps)
{
    const auto num = [](double v) { return QString::number(v, 'g', 9); };
    const auto jsonString = [](const QString &text) {
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
    };
    DzNode *hip = figure->findNodeChild(QStringLiteral("hip"), false);
    if (!hip)
        hip = figure;
    const QList<DzBone *> bones = figure->getAllBones();
    QByteArray text = QStringLiteral("{\"fps\": %1, \"frames\": [").arg(fps).toUtf8();
    for (qint64 t = 0; t < dzScene->getAnimRange().getEnd(); t += dzScene->getTimeStep()) {
        const DzTime tick = DzTime(t);
        const DzVec3 p = hip->getLocalPos(tick);
        QString frame = t == 0 ? QStringLiteral("\n") : QStringLiteral(",\n");
        frame += QStringLiteral("{\"tick\": %1, \"hipPos\": [%2, %3, %4], \"bones\": {")
                     .arg(tick)
                     .arg(num(p.m_x), num(p.m_y), num(p.m_z));
        for (qsizetype i = 0; i < bones.size(); ++i) {
            DzBone *bone = bones[i];
            const DzQuat q = bone->getLocalRot(tick);
            if (i > 0)
                frame += QStringLiteral(", ");
            frame
                += QStringLiteral("%1: {\"quat\": [%2, %3, %4, %5], \"euler\": [%6, %7, %8], "
                                  "\"order\": \"%9\"}")
                       .arg(jsonString(bone->getName()), num(q.m_x), num(q.m_y), num(q.m_z), num(q.m_w),
                           num(bone->getXRotControl()->getValue(tick)),
                           num(bone->getYRotControl()->getValue(tick)),
                           num(bone->getZRotControl()->getValue(tick)), bone->getRotationOrder().toString());
        }
        text += (frame + QStringLiteral("}}")).toUtf8();
    }
    return text + "\n]}\n";
}

// Keys at uneven ticks, so that frames also fall between keys.
void keyAtRandom(DzFloatProperty *p, std::mt19937 &random, float lo, float hi)
{
    std::uniform_real_distribution<float> value(lo, hi);
    for (DzTime t = 0; t < 9600; t += 70 + DzTime(random() % 400))
        p->setValue(t, value(random));
}

TEST(NodeKeyReader, GivesTheNodesOwnValuesAtAnyTime)
{
    DzApp app;
    DzNode node;
    std::mt19937 random(3);
    keyAtRandom(node.getXRotControl(), random, -720.0f, 720.0f);
    keyAtRandom(node.getZRotControl(), random, -180.0f, 180.0f);
    keyAtRandom(node.getXPosControl(), random, -1e4f, 1e4f);
    node.getYRotControl()->setValue(33.3f); // unkeyed: the static value
    node.getZPosControl()->setValue(0, 5.0f); // one key
    node.setRotationOrder(DzRotationOrder::YZX);
    trelvo::motion::NodeKeyReader reader(&node);
    // Rising through keyed and unkeyed ticks, before the first key and past
    // the last, then back in time.
    std::vector<DzTime> times;
    for (DzTime t = -500; t < 10000; t += 37 + DzTime(random() % 90))
        times.push_back(t);
    times.insert(times.end(), { 9000, 5, 5, -1, 0, 10000 });
    for (const DzTime t : times) {
        const DzVec3 p = reader.localPos(t);
        const DzVec3 want = node.getLocalPos(t);
        EXPECT_TRUE(p.m_x == want.m_x && p.m_y == want.m_y && p.m_z == want.m_z) << t;
        const DzQuat q = reader.localRot(t), wantQ = node.getLocalRot(t);
        EXPECT_EQ(std::memcmp(&q, &wantQ, sizeof q), 0) << t;
    }
}

TEST(FrameWriter, WritesTheTextTheQStringFormattingGave)
{
    DzApp app;
    QString error;
    DzSkeleton *figure
        = DzFigureLoader::loadFile(QStringLiteral(TRELVO_CONTENT_DIR "/figures/standard.json"), &error);
    ASSERT_TRUE(figure) << error.toStdString();
    dzScene->addNode(figure);
    const QList<DzBone *> bones = figure->getAllBones();
    ASSERT_GT(bones.size(), 3);
    // Names that must be escaped, and non-ASCII text.
    bones[1]->setName(QStringLiteral("a \"quoted\"\\ bone\t\x01"));
    bones[2]->setName(QStringLiteral("Knöchel %1 \u00e9"));
    bones[3]->setName(QStringLiteral("nul") + QChar(0) + QStringLiteral("line\nbreak\r\u2028"));

    std::mt19937 random(7);
    for (DzBone *bone : bones) {
        for (DzFloatProperty *p : { bone->getXRotControl(), bone->getYRotControl(), bone->getZRotControl() })
            keyAtRandom(p, random, -180.0f, 180.0f);
    }
    DzNode *hip = figure->findNodeChild(QStringLiteral("hip"), false);
    ASSERT_TRUE(hip);
    for (DzTime t = 0; t < 9600; t += 480) {
        hip->getXPosControl()->setValue(t, 1e-7f * float(t));
        hip->getYPosControl()->setValue(t, 12345678.0f + float(t));
        hip->getZPosControl()->setValue(t, -float(t) / 3.0f);
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frames.json"));
    // The last range has no frames: the frame list is empty.
    for (const auto &[fps, end] : { std::pair { 30, 9600 }, { 24, 9600 }, { 4800, 300 }, { 30, 0 } }) {
        dzScene->setTimeStep(4800 / fps);
        dzScene->setAnimRange(DzTimeRange(0, end));
        ASSERT_TRUE(writeFrames(path, figure, fps, &error)) << error.toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == qstringFrames(figure, fps)) << fps << " fps up to " << end;
    }
    dzScene->removeNode(figure);
    delete figure;
}

} // namespace
