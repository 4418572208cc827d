// trelvo-kba: every command run in-process through runKbaTool (the program
// tests run the installed program for its exit statuses).
#include "blocktestsupport.h"
#include "kbatool.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <variant>

using namespace blocktest;

namespace {

const QString kGolden = QStringLiteral(TRELVO_TEST_DATA_DIR "/block/translation_rotation.kba");

struct ToolRun {
    int status;
    QString out, err;
};

ToolRun kba(const QStringList &args)
{
    ToolRun run;
    QTextStream out(&run.out), err(&run.err);
    run.status = runKbaTool(args, out, err);
    return run;
}

QJsonObject json(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
    return doc.object();
}

// Follows a path of object keys and array indexes through a JSON value.
QJsonValue at(QJsonValue v, std::initializer_list<std::variant<const char *, int>> path)
{
    for (const auto &step : path)
        v = std::holds_alternative<int>(step) ? v.toArray()[std::get<int>(step)]
                                              : v.toObject()[QLatin1String(std::get<const char *>(step))];
    return v;
}

class KbaTool : public FileTest {
protected:
    // hip from (0, 100, 0) moving along z by `distance` over 1000 ms,
    // keys every 33 ms, the left hand turned 20° about +Z and the right hand
    // 50° about +X.
    QString walk(const QString &name, float distance = 100)
    {
        return saved(name, [distance](KyBlock &b) {
            for (int t = 0; t <= 990; t += 33)
                b.addTranslationKey("hip", t, 0, 100, distance * t / 990.0f);
            b.addTranslationKey("hip", 1000, 0, 100, distance);
            for (int t : { 0, 1000 }) {
                b.addRotationKey("lHand", t, 20, 0, 0, 1);
                b.addRotationKey("rHand", t, 50, 1, 0, 0);
            }
        });
    }
    // A file whose keys run past its end.
    QString broken(const QString &name)
    {
        writeBytes(file(name).toStdString(), Image().header(nameHash("hip"), 1, 9, 0).key(0, 0, 0, 0).bytes);
        return file(name);
    }
};

TEST_F(KbaTool, InfoDumpAndValidateReportRecordsKeysAndRefusals)
{
    // dump gives keys as floats and raw values.
    const ToolRun dump = kba({ "dump", kGolden });
    ASSERT_EQ(dump.status, kKbaOk);
    const QJsonValue root = json(dump.out);
    EXPECT_EQ(at(root, { "records", 0, "node" }).toString(), "hip");
    EXPECT_EQ(std::tuple(at(root, { "records", 0, "keys", 1, "timeMs" }).toInt(),
                  at(root, { "records", 0, "keys", 1, "raw", 1 }).toInt()),
        std::tuple(500, fx(99.75)));
    EXPECT_DOUBLE_EQ(at(root, { "records", 0, "keys", 1, "value", 0 }).toDouble(), 2.5);
    EXPECT_EQ(at(root, { "records", 1, "keys", 1, "raw", 0 }).toInt(), fx(45));

    const ToolRun run = kba({ "info", kGolden });
    EXPECT_EQ(run.status, kKbaOk);
    for (const char *line : { "size: 128 bytes", "duration: 1000 ms", "records: 2" })
        EXPECT_TRUE(run.out.contains(line)) << line;
    EXPECT_TRUE(run.out.contains(QRegularExpression("0  hip +type 1 \\(translation\\)  3 keys")))
        << run.out.toStdString();
    // Unknown nodes go by their hash.
    writeBytes(path("odd.kba"), Image().header(0xCAFE0001u, 1, 1, 0).key(250, 0, 0, 0).bytes);
    EXPECT_TRUE(kba({ "info", file("odd.kba") }).out.contains("#cafe0001"));
    const ToolRun bad = kba({ "info", broken("bad.kba") });
    EXPECT_TRUE(bad.status == kKbaFailed && bad.err.contains("run past the end"));

    // validate reports each file and fails if any is refused.
    const QString good = walk("good.kba"), missing = file("missing.kba");
    const ToolRun all = kba({ "validate", good, broken("bad.kba"), missing });
    EXPECT_EQ(all.status, kKbaFailed);
    const QStringList lines = all.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], good + ": ok");
    EXPECT_TRUE(lines[1].startsWith(file("bad.kba") + ": the keys of the record at offset 0")
        && lines[2].startsWith(missing + ": cannot open the file"));
    EXPECT_EQ(kba({ "validate", good, kGolden }).status, kKbaOk);
}

TEST_F(KbaTool, CropWritesThePartBetweenTwoClipTimesAndReportsTheCutAtTheKeyLimit)
{
    const QString walked = walk("walk.kba"), out = file("out.kba");
    const ToolRun run = kba({ "crop", walked, "330", "660", file("part") });
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("part.kba: 330 ms"));
    KyBlock *part = KyBlock::get(file("part.kba"));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->clipLength, 330);
    EXPECT_NEAR(toFloat(slotRecords(part->clipHandle)->keys.back().v[2]), 33.33f, 0.01f); // from z = 0

    // The hip moves all through 300 s: sampled every 33 ms that is more
    // than 6000 keys, so the result is cut and the kept length named.
    const QString longer = saved("long.kba", [](KyBlock &b) {
        b.addTranslationKey("hip", 0, 0, 100, 0);
        b.addTranslationKey("hip", 300000, 0, 100, 3000);
    });
    const QString kept = QString::number(5999 * 33) + " ms";
    const ToolRun crop = kba({ "crop", longer, "0", "300000", out });
    ASSERT_EQ(crop.status, kKbaOk) << crop.err.toStdString();
    EXPECT_TRUE(crop.err.contains("6000") && crop.err.contains(kept) && crop.out.contains(kept))
        << crop.err.toStdString();
    const ToolRun join = kba({ "join", walked, longer, out });
    EXPECT_TRUE(join.status == kKbaOk && join.err.contains("6000")) << join.err.toStdString();
}

TEST_F(KbaTool, BadCommandLinesAreRefusedAsBadUsage)
{
    const QString in = walk("w.kba"), in2 = walk("w2.kba"), out = file("o.kba");
    const QStringList cases[] = { {}, { "frobnicate" }, { "info" }, { "validate" },
        { "crop", in, "600", "300", out }, { "crop", in, "0", "1001", out }, { "crop", in, "-5", "100", out },
        { "crop", in, "zero", "100", out }, { "crop", in, "0" }, { "join", in, in2, out, "--flags" },
        { "join", in, in2, out, "--blend", "-3" }, { "join", in, in2, out, "--fast" }, { "join", in, in2 },
        { "sample", in }, { "sample", in, "1.5" }, { "sample", in, "10", "20" },
        { "sample", in, "10", "--mirrored" } };
    for (const QStringList &args : cases)
        EXPECT_EQ(kba(args).status, kKbaBadUsage) << args.join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(KbaTool, UnreadableInputsAndUnwritableOutputsFailNamingTheProblem)
{
    const QString in = walk("w.kba"), out = file("o.kba");
    const struct {
        QStringList args;
        const char *message;
    } cases[] = {
        { { "crop", file("nope.kba"), "0", "10", out }, "nope.kba" },
        { { "crop", in, "0", "100", file("no/folder/o.kba") }, "cannot" },
        { { "sample", file("gone.kba"), "0" }, "cannot open" },
        { { "join", in, broken("x.kba"), out }, "x.kba" },
    };
    for (const auto &c : cases) {
        const ToolRun run = kba(c.args);
        EXPECT_TRUE(run.status == kKbaFailed && run.err.contains(c.message))
            << c.args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(KbaTool, JoinContinuesTheSecondBlockFromTheFirstsEnd)
{
    const QString a = walk("a.kba", 100), b = walk("b.kba", 50);
    const ToolRun run = kba({ "join", a, b, file("ab.kba") });
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    // The first block is cropped first: resampled every 33 ms it ends at
    // 990, and the second block's 1000 ms follow.
    KyBlock *joined = KyBlock::get(file("ab.kba"));
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(joined->clipLength, 1990);
    // Flags 13 move the second block onto the first one's end (z = 100).
    EXPECT_NEAR(hipAt(joined->clipHandle, 1990).z, 150.0f, 0.01f);
}

TEST_F(KbaTool, SamplePrintsThePoseInTableOrderMirroredOnRequest)
{
    const QString in = walk("pose.kba");
    const ToolRun run = kba({ "sample", in, "495" });
    ASSERT_EQ(run.status, kKbaOk) << run.err.toStdString();
    EXPECT_TRUE(
        run.out.contains("{\"name\": \"hip\", \"pos\": [0, 100, 50], \"posRaw\": [0, 6553600, 3276800]}"))
        << run.out.toStdString();
    const QJsonValue nodes = json(run.out)["nodes"];
    ASSERT_EQ(nodes.toArray().size(), 3);
    // rHand comes before lHand in the table.
    EXPECT_EQ(at(nodes, { 1, "name" }).toString() + at(nodes, { 2, "name" }).toString(), "rHandlHand");
    EXPECT_EQ(at(nodes, { 1, "angleRaw" }).toInt(), fx(50));
    EXPECT_NEAR(at(nodes, { 1, "axis", 0 }).toDouble(), 1.0, 1e-3);

    const QJsonValue mirrored = json(kba({ "sample", in, "495", "--mirror" }).out)["nodes"];
    EXPECT_EQ(at(mirrored, { 1, "angleRaw" }).toInt(), fx(20)); // the left hand's turn
    EXPECT_LT(at(mirrored, { 1, "axis", 2 }).toDouble(), -0.99);
}

} // namespace
