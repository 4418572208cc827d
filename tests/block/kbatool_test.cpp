// trelvo-kba: every command run in-process through runKbaTool, and the
// installed program itself for exit statuses and output streams.
#include "blocktestsupport.h"
#include "kbatool.h"
#include "kyblock.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace blocktest;

namespace {

const QString kGolden = QStringLiteral(TRELVO_TEST_DATA_DIR "/block/translation_rotation.kba");
const QString kTool = QStringLiteral(TRELVO_BINARY_DIR "/bin/trelvo-kba");

struct ToolRun {
    int status;
    QString out;
    QString err;
};

ToolRun kba(const QStringList &args)
{
    ToolRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = runKbaTool(args, out, err);
    return run;
}

QJsonObject json(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n"
                                                     << text.toStdString();
    return doc.object();
}

class KbaTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetCore();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString file(const QString &name) const { return m_dir.filePath(name); }

    // hip from (0, 100, 0) moving along z by `distance` over 1000 ms,
    // keys every 33 ms, the left hand turned 20° about +Z and the right hand
    // 50° about +X.
    QString walk(const QString &name, float distance = 100)
    {
        KyBlock *made = KyBlock::create();
        for (int t = 0; t <= 990; t += 33)
            made->addTranslationKey(QStringLiteral("hip"), t, 0, 100, distance * t / 990.0f);
        made->addTranslationKey(QStringLiteral("hip"), 1000, 0, 100, distance);
        made->addRotationKey(QStringLiteral("lHand"), 0, 20, 0, 0, 1);
        made->addRotationKey(QStringLiteral("lHand"), 1000, 20, 0, 0, 1);
        made->addRotationKey(QStringLiteral("rHand"), 0, 50, 1, 0, 0);
        made->addRotationKey(QStringLiteral("rHand"), 1000, 50, 1, 0, 0);
        std::unique_ptr<KyBlock> saver(made->clone());
        saver->path = file(name);
        EXPECT_TRUE(saver->save());
        return saver->path;
    }

    QString broken(const QString &name)
    {
        Image image;
        image.header(nameHash("hip"), 1, 9, 0).key(0, 0, 0, 0);
        writeBytes(file(name).toStdString(), image.bytes);
        return file(name);
    }

    QTemporaryDir m_dir;
};

TEST_F(KbaTool, InfoListsRecordsDurationAndSize)
{
    const ToolRun run = kba({QStringLiteral("info"), kGolden});
    EXPECT_EQ(run.status, kKbaOk);
    EXPECT_TRUE(run.out.contains(QStringLiteral("size: 128 bytes")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("duration: 1000 ms")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("records: 2")));
    EXPECT_TRUE(run.out.contains(QRegularExpression(QStringLiteral("0  hip +type 1 \\(translation\\)  3 keys"))))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QRegularExpression(QStringLiteral("1  abdomen +type 3 \\(rotation vector\\)  2 keys"))));

    const ToolRun bad = kba({QStringLiteral("info"), broken(QStringLiteral("bad.kba"))});
    EXPECT_EQ(bad.status, kKbaFailed);
    EXPECT_TRUE(bad.err.contains(QStringLiteral("run past the end")));
}

TEST_F(KbaTool, InfoNamesUnknownNodesByHash)
{
    Image image;
    image.header(0xCAFE0001u, 1, 1, 0).key(250, 0, 0, 0);
    writeBytes(file(QStringLiteral("odd.kba")).toStdString(), image.bytes);
    const ToolRun run = kba({QStringLiteral("info"), file(QStringLiteral("odd.kba"))});
    EXPECT_EQ(run.status, kKbaOk);
    EXPECT_TRUE(run.out.contains(QStringLiteral("#cafe0001")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("duration: 250 ms")));
}

TEST_F(KbaTool, ValidateReportsEachFileAndFailsIfAnyIsRefused)
{
    const QString good = walk(QStringLiteral("good.kba"));
    const QString bad = broken(QStringLiteral("bad.kba"));
    const QString missing = file(QStringLiteral("missing.kba"));
    const ToolRun all = kba({QStringLiteral("validate"), good, bad, missing});
    EXPECT_EQ(all.status, kKbaFailed);
    const QStringList lines = all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], good + QStringLiteral(": ok"));
    EXPECT_TRUE(lines[1].startsWith(bad + QStringLiteral(": the keys of the record at offset 0")));
    EXPECT_TRUE(lines[2].startsWith(missing + QStringLiteral(": cannot open the file")));

    EXPECT_EQ(kba({QStringLiteral("validate"), good, kGolden}).status, kKbaOk);
}

TEST_F(KbaTool, DumpGivesKeysAsFloatsAndRawValues)
{
    const ToolRun run = kba({QStringLiteral("dump"), kGolden});
    ASSERT_EQ(run.status, kKbaOk);
    const QJsonObject root = json(run.out);
    EXPECT_EQ(root[QStringLiteral("size")].toInt(), 128);
    EXPECT_EQ(root[QStringLiteral("durationMs")].toInt(), 1000);
    const QJsonArray records = root[QStringLiteral("records")].toArray();
    ASSERT_EQ(records.size(), 2);
    const QJsonObject hip = records[0].toObject();
    EXPECT_EQ(hip[QStringLiteral("node")].toString(), QStringLiteral("hip"));
    EXPECT_EQ(hip[QStringLiteral("type")].toInt(), 1);
    const QJsonObject key = hip[QStringLiteral("keys")].toArray()[1].toObject();
    EXPECT_EQ(key[QStringLiteral("timeMs")].toInt(), 500);
    EXPECT_EQ(key[QStringLiteral("raw")].toArray()[1].toInt(), fx(99.75));
    EXPECT_DOUBLE_EQ(key[QStringLiteral("value")].toArray()[0].toDouble(), 2.5);
    EXPECT_EQ(records[1].toObject()[QStringLiteral("keys")].toArray()[1].toObject()[QStringLiteral("raw")].toArray()[0].toInt(),
              fx(45));
}

TEST_F(KbaTool, DumpDecodesAngleAxisAndPackedStreams)
{
    std::vector<uint8_t> stream;
    fullEntry(stream, 0, fx(10), 0, 0x10000, 0);
    deltaEntry(stream, 5, fx(20), 100, -200, 300);
    Image image;
    image.header(nameHash("hip"), 1, 1, 40).key(0, 0, 0, 0);
    image.header(nameHash("head"), 2, 1, 40 + 60).i32(7).i32(fx(30)).i32(0).i32(0x10000).i32(0).zeros(16);
    image.header(nameHash("neck"), 5, 0, 0).i32(24 + static_cast<int64_t>(stream.size())).zeros(20);
    image.bytes.insert(image.bytes.end(), stream.begin(), stream.end());
    writeBytes(file(QStringLiteral("kinds.kba")).toStdString(), image.bytes);

    const ToolRun run = kba({QStringLiteral("dump"), file(QStringLiteral("kinds.kba"))});
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    const QJsonArray records = json(run.out)[QStringLiteral("records")].toArray();
    ASSERT_EQ(records.size(), 3);
    const QJsonObject angleKey = records[1].toObject()[QStringLiteral("keys")].toArray()[0].toObject();
    EXPECT_EQ(angleKey[QStringLiteral("timeMs")].toInt(), 7);
    EXPECT_EQ(angleKey[QStringLiteral("angleRaw")].toInt(), fx(30));
    const QJsonArray entries = records[2].toObject()[QStringLiteral("keys")].toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].toObject()[QStringLiteral("form")].toString(), QStringLiteral("full"));
    const QJsonObject delta = entries[1].toObject();
    EXPECT_EQ(delta[QStringLiteral("form")].toString(), QStringLiteral("delta"));
    EXPECT_EQ(delta[QStringLiteral("timeMs")].toInt(), 5);
    EXPECT_EQ(delta[QStringLiteral("axisRaw")].toArray()[1].toInt(), 0x10000 - 200);
}

TEST_F(KbaTool, CropWritesThePartBetweenTwoClipTimes)
{
    const QString in = walk(QStringLiteral("long.kba"));
    const QString out = file(QStringLiteral("part"));
    const ToolRun run = kba({QStringLiteral("crop"), in, QStringLiteral("330"), QStringLiteral("660"), out});
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("part.kba: 330 ms")));
    KyBlock *part = KyBlock::get(out + QStringLiteral(".kba"));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->clipLength, 330);
    const ChannelRecord *hip = slotRecords(part->clipHandle);
    EXPECT_EQ(hip->keys.front().v[2], 0); // starts at z = 0
    EXPECT_NEAR(toFloat(hip->keys.back().v[2]), 33.33f, 0.01f);
}

TEST_F(KbaTool, BadCommandLinesAreRefusedAsBadUsage)
{
    const QString in = walk(QStringLiteral("w.kba"));
    const QString in2 = walk(QStringLiteral("w2.kba"));
    const QString out = file(QStringLiteral("o.kba"));
    const QStringList cases[] = {
        {},
        {QStringLiteral("frobnicate")},
        {QStringLiteral("info")},
        {QStringLiteral("validate")},
        {QStringLiteral("crop"), in, QStringLiteral("600"), QStringLiteral("300"), out},
        {QStringLiteral("crop"), in, QStringLiteral("0"), QStringLiteral("1001"), out},
        {QStringLiteral("crop"), in, QStringLiteral("-5"), QStringLiteral("100"), out},
        {QStringLiteral("crop"), in, QStringLiteral("zero"), QStringLiteral("100"), out},
        {QStringLiteral("crop"), in, QStringLiteral("0")},
        {QStringLiteral("join"), in, in2, out, QStringLiteral("--flags")},
        {QStringLiteral("join"), in, in2, out, QStringLiteral("--blend"), QStringLiteral("-3")},
        {QStringLiteral("join"), in, in2, out, QStringLiteral("--fast")},
        {QStringLiteral("join"), in, in2},
        {QStringLiteral("sample"), in},
        {QStringLiteral("sample"), in, QStringLiteral("1.5")},
        {QStringLiteral("sample"), in, QStringLiteral("10"), QStringLiteral("20")},
        {QStringLiteral("sample"), in, QStringLiteral("10"), QStringLiteral("--mirrored")},
    };
    for (const QStringList &args : cases)
        EXPECT_EQ(kba(args).status, kKbaBadUsage) << args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(KbaTool, UnreadableInputsAndUnwritableOutputsFailNamingTheProblem)
{
    const QString in = walk(QStringLiteral("w.kba"));
    const QString out = file(QStringLiteral("o.kba"));
    const ToolRun missing = kba({QStringLiteral("crop"), file(QStringLiteral("nope.kba")), QStringLiteral("0"),
                             QStringLiteral("10"), out});
    EXPECT_EQ(missing.status, kKbaFailed);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("nope.kba")));
    EXPECT_FALSE(QFile::exists(out));
    const ToolRun unwritable = kba({QStringLiteral("crop"), in, QStringLiteral("0"), QStringLiteral("100"),
                                file(QStringLiteral("no/folder/o.kba"))});
    EXPECT_EQ(unwritable.status, kKbaFailed);
    EXPECT_TRUE(unwritable.err.contains(QStringLiteral("cannot")));
    const ToolRun gone = kba({QStringLiteral("sample"), file(QStringLiteral("gone.kba")), QStringLiteral("0")});
    EXPECT_EQ(gone.status, kKbaFailed);
    EXPECT_TRUE(gone.err.contains(QStringLiteral("cannot open")));
    EXPECT_EQ(kba({QStringLiteral("join"), in, broken(QStringLiteral("x.kba")), out}).status, kKbaFailed);
}

TEST_F(KbaTool, CropAndJoinReportTheCutAtTheKeyLimit)
{
    // The hip moves all through 300 s: sampled every 33 ms that is more
    // than 6000 keys, so the result is cut and the kept length named.
    KyBlock *made = KyBlock::create();
    made->addTranslationKey(QStringLiteral("hip"), 0, 0, 100, 0);
    made->addTranslationKey(QStringLiteral("hip"), 300000, 0, 100, 3000);
    std::unique_ptr<KyBlock> saver(made->clone());
    saver->path = file(QStringLiteral("long.kba"));
    ASSERT_TRUE(saver->save());
    const QString kept = QString::number(5999 * 33);
    const QString out = file(QStringLiteral("out.kba"));

    const ToolRun crop = kba({QStringLiteral("crop"), saver->path, QStringLiteral("0"), QStringLiteral("300000"), out});
    ASSERT_EQ(crop.status, kKbaOk) << crop.err.toStdString();
    EXPECT_TRUE(crop.err.contains(QStringLiteral("6000"))) << crop.err.toStdString();
    EXPECT_TRUE(crop.err.contains(kept + QStringLiteral(" ms"))) << crop.err.toStdString();
    EXPECT_TRUE(crop.out.contains(kept + QStringLiteral(" ms")));

    const ToolRun join = kba({QStringLiteral("join"), walk(QStringLiteral("w.kba")), saver->path, out});
    ASSERT_EQ(join.status, kKbaOk) << join.err.toStdString();
    EXPECT_TRUE(join.err.contains(QStringLiteral("6000"))) << join.err.toStdString();
    EXPECT_TRUE(kba({QStringLiteral("--help")}).out.contains(QStringLiteral("6000")));

    // A block of one key has no length to crop: refused as a failure, not
    // as a bad command line.
    KyBlock *single = KyBlock::create();
    single->addTranslationKey(QStringLiteral("hip"), 0, 0, 100, 0);
    std::unique_ptr<KyBlock> singleSaver(single->clone());
    singleSaver->path = file(QStringLiteral("single.kba"));
    ASSERT_TRUE(singleSaver->save());
    EXPECT_EQ(kba({QStringLiteral("crop"), singleSaver->path, QStringLiteral("0"), QStringLiteral("10"), out}).status,
              kKbaFailed);
}

TEST_F(KbaTool, JoinContinuesTheSecondBlockFromTheFirstsEnd)
{
    const QString a = walk(QStringLiteral("a.kba"), 100);
    const QString b = walk(QStringLiteral("b.kba"), 50);
    const QString out = file(QStringLiteral("ab.kba"));
    const ToolRun run = kba({QStringLiteral("join"), a, b, out});
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    KyBlock *joined = KyBlock::get(out);
    ASSERT_NE(joined, nullptr);
    // The first block is cropped first: resampled every 33 ms it ends at
    // 990, and the second block's 1000 ms follow.
    EXPECT_EQ(joined->clipLength, 1990);
    // Flags 13 move the second block onto the first one's end (z = 100).
    clearPoseFlags();
    sampleSlot(joined->clipHandle, 1990);
    float x, y, z;
    ASSERT_TRUE(nodeTranslation("hip", &x, &y, &z));
    EXPECT_NEAR(z, 150.0f, 0.01f);
}

TEST_F(KbaTool, JoinOptionsSetFlagsAndBlend)
{
    const QString a = walk(QStringLiteral("a.kba"), 100);
    const QString b = walk(QStringLiteral("b.kba"), 50);
    const QString out = file(QStringLiteral("ab0.kba"));
    const ToolRun run = kba({QStringLiteral("join"), a, b, out, QStringLiteral("--flags"), QStringLiteral("0"),
                         QStringLiteral("--blend"), QStringLiteral("0")});
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    KyBlock *joined = KyBlock::get(out);
    ASSERT_NE(joined, nullptr);
    // Without reorientation or blending the second block plays from its own
    // origin: 33 ms in, z is b's 50 × 33/990.
    clearPoseFlags();
    sampleSlot(joined->clipHandle, 990 + 33);
    float x, y, z;
    ASSERT_TRUE(nodeTranslation("hip", &x, &y, &z));
    EXPECT_NEAR(z, 50.0f * 33 / 990, 0.01f);

}

TEST_F(KbaTool, SamplePrintsThePoseInTableOrder)
{
    const QString in = walk(QStringLiteral("pose.kba"));
    const ToolRun run = kba({QStringLiteral("sample"), in, QStringLiteral("495")});
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("{\"timeMs\": 495, \"nodes\": [")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("{\"name\": \"hip\", \"pos\": [0, 100, 50], \"posRaw\": [0, 6553600, 3276800]}")))
        << run.out.toStdString();
    const QJsonArray nodes = json(run.out)[QStringLiteral("nodes")].toArray();
    ASSERT_EQ(nodes.size(), 3);
    const QJsonObject rHand = nodes[1].toObject(); // rHand comes before lHand in the table
    EXPECT_EQ(rHand[QStringLiteral("name")].toString(), QStringLiteral("rHand"));
    EXPECT_FALSE(rHand.contains(QStringLiteral("pos")));
    EXPECT_EQ(rHand[QStringLiteral("angleRaw")].toInt(), fx(50));
    EXPECT_NEAR(rHand[QStringLiteral("axis")].toArray()[0].toDouble(), 1.0, 1e-3);
    EXPECT_EQ(rHand[QStringLiteral("axisRaw")].toArray().size(), 3);
    EXPECT_EQ(nodes[2].toObject()[QStringLiteral("name")].toString(), QStringLiteral("lHand"));
}

TEST_F(KbaTool, SampleMirroredSwapsSidesAndNegatesX)
{
    const QString in = walk(QStringLiteral("mirror.kba"));
    const QJsonArray nodes = json(kba({QStringLiteral("sample"), in, QStringLiteral("495"), QStringLiteral("--mirror")}).out)
                                 [QStringLiteral("nodes")]
                                     .toArray();
    ASSERT_EQ(nodes.size(), 3);
    const QJsonObject rHand = nodes[1].toObject();
    EXPECT_EQ(rHand[QStringLiteral("angleRaw")].toInt(), fx(20)); // the left hand's turn
    EXPECT_LT(rHand[QStringLiteral("axis")].toArray()[2].toDouble(), -0.99);
}

TEST_F(KbaTool, ProgramExitsWithTheCommandsStatus)
{
    ASSERT_TRUE(QFile::exists(kTool)) << kTool.toStdString();
    const QString in = walk(QStringLiteral("p.kba"));
    QProcess process;
    process.start(kTool, {QStringLiteral("sample"), in, QStringLiteral("0")});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), kKbaOk);
    EXPECT_EQ(json(QString::fromUtf8(process.readAllStandardOutput()))[QStringLiteral("nodes")].toArray().size(), 3);

    process.start(kTool, {QStringLiteral("validate"), file(QStringLiteral("absent.kba"))});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), kKbaFailed);

    process.start(kTool, QStringList());
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), kKbaBadUsage);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError()).contains(QStringLiteral("usage: trelvo-kba")));
}

} // namespace
