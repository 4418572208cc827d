#include "bvhreader.h"
#include "motiontestdata.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace trelvo::motion;

namespace {

// Lines numbered for the hostile cases below.
const char *const kSmall = "HIERARCHY\n" // 1
                           "ROOT hip\n" // 2
                           "{\n" // 3
                           "  OFFSET 0 0 0\n" // 4
                           "  CHANNELS 6 Xposition Yposition Zposition Zrotation Yrotation Xrotation\n" // 5
                           "  JOINT abdomen\n" // 6
                           "  {\n" // 7
                           "    OFFSET 0 10 0\n" // 8
                           "    CHANNELS 3 Zrotation Xrotation Yrotation\n" // 9
                           "    End Site\n" // 10
                           "    {\n" // 11
                           "      OFFSET 0 5 0\n" // 12
                           "    }\n" // 13
                           "  }\n" // 14
                           "}\n" // 15
                           "MOTION\n" // 16
                           "Frames:\t2\n" // 17
                           "Frame Time:\t0.0333333\n" // 18
                           "0 90 0 0 0 0 10 20 30\n" // 19
                           "1 91 0 0 0 0 11 21 31\n"; // 20

// kSmall with line n (1-based) replaced; an empty replacement removes it.
std::string withLine(int n, const std::string &replacement)
{
    std::istringstream in(kSmall);
    std::string out, line;
    for (int i = 1; std::getline(in, line); ++i)
        out += i != n ? line + "\n" : replacement.empty() ? "" : replacement + "\n";
    return out;
}

} // namespace

TEST(BvhReader, AcceptsTheVariantsRealFilesUse)
{
    const std::string text = "\xEF\xBB\xBF"
                             "hierarchy\r\n"
                             "ROOT Root Bone {\r\n" // name with a space, brace on the line
                             "\tOFFSET +1.5 -0.0 2e1\r\n"
                             "\tCHANNELS 4 Yrotation Xposition Xrotation Zposition\r\n"
                             "\tJOINT child\r\n"
                             "\t{\r\n"
                             "\t\tOFFSET 0 1 0\r\n"
                             "\t\tCHANNELS 0\r\n"
                             "\t\tEnd Site { OFFSET 0 .5 0 }\r\n"
                             "\t}\r\n"
                             "}\r\n"
                             "motion\r\n"
                             "Frames:3\r\n"
                             "Frame   Time: .0083333\r\n"
                             "\r\n"
                             "1 2 3 4\r\n"
                             "  7.66661e-16\t-0.0 5 6   \r\n"
                             "-1E2 0 0 0\r\n"
                             "\r\n";
    BvhReader reader;
    BvhData data;
    ASSERT_TRUE(reader.parse(text, data)) << reader.errorString();
    ASSERT_EQ(data.joints.size(), 2u);
    EXPECT_EQ(data.joints[0].name, "Root Bone");
    EXPECT_EQ(data.joints[0].offset, DzVec3(1.5f, 0.0f, 20.0f));
    EXPECT_EQ(data.joints[1].channels.size(), 0u);
    EXPECT_TRUE(data.joints[1].hasEndSite && data.joints[1].endSite == DzVec3(0.0f, 0.5f, 0.0f));
    EXPECT_DOUBLE_EQ(data.frameTime, 0.0083333);
    EXPECT_EQ(data.values, (std::vector<float> { 1, 2, 3, 4, 7.66661e-16f, -0.0f, 5, 6, -100, 0, 0, 0 }));

    // Position channels replace the OFFSET's components; rotations compose
    // in the listed order (Y outermost here).
    EXPECT_EQ(data.localTranslation(0, 0), DzVec3(2, 0, 4));
    const DzQuat expected = axisRotation(1, 1 * kDegToRad) * axisRotation(0, 3 * kDegToRad);
    EXPECT_TRUE(data.localRotation(0, 0).isSameRotation(expected, 1e-9));

    // A file without frames is a hierarchy alone.
    const std::string frameless = withLine(17, "Frames: 0");
    ASSERT_TRUE(reader.parse(frameless.substr(0, frameless.find("0 90")), data)) << reader.errorString();
    EXPECT_EQ(data.frameCount, 0);
    EXPECT_TRUE(data.values.empty());
}

TEST(BvhReader, RefusesHostileInputNamingTheLine)
{
    struct Case {
        std::string text;
        int line;
        const char *message;
    };
    std::string deep = "HIERARCHY\nROOT j0\n{\nOFFSET 0 0 0\nCHANNELS 1 Xrotation\n";
    std::string wide = deep;
    for (int i = 1; i <= 1100; ++i) {
        deep += i <= 200 ? "JOINT j" + std::to_string(i) + "\n{\nOFFSET 0 1 0\n" : "";
        wide += "JOINT j" + std::to_string(i) + " { OFFSET 0 1 0 }\n";
    }
    const Case cases[] = {
        { deep, 6 + 3 * 127, "nested deeper than 128" },
        { wide, 5 + 1024, "more than 1024 joints" },
        { "", 1, "empty" },
        { "hello world\n", 1, "not a BVH file" },
        { "HIERARCHY\nJOINT a\n", 2, "expected ROOT" },
        { withLine(7, ""), 7, "expected '{' after JOINT abdomen" },
        { withLine(15, ""), 15, "MOTION starts before hip is closed" },
        { std::string(kSmall).substr(0, std::string(kSmall).find("    End")), 9, "ends inside abdomen" },
        { withLine(8, ""), 13, "abdomen has no OFFSET" },
        { withLine(9, "OFFSET 1 2 3"), 9, "second OFFSET" },
        { withLine(8, "OFFSET 0 10"), 8, "needs three numbers, found 'CHANNELS'" },
        { withLine(9, "CHANNELS 3 Zrotation Xrotation"), 9, "declares 3 channels but lists 2" },
        { withLine(9, "CHANNELS 2 Zrotation Xrotation Yrotation"), 9, "lists more" },
        { withLine(9, "CHANNELS 7 Zrotation"), 9, "count from 0 to 6" },
        { withLine(9, "CHANNELS 3 Zrotation Xrotation Zrotation"), 9, "Zrotation twice" },
        { withLine(9, "CHANNELS 3 Zrotation Wrotation Yrotation"), 9, "'Wrotation' is not a channel" },
        { withLine(12, "CHANNELS 1 Xrotation"), 12, "End Site cannot have CHANNELS" },
        { withLine(6, "JOINT hip"), 6, "'hip' is used twice (first on line 2)" },
        { withLine(6, "JOINT"), 6, "JOINT without a name" },
        { withLine(16, "ROOT other\n{\n}\nMOTION"), 16, "second ROOT" },
        { withLine(9, "CHANNELS 0 banana"), 9, "unexpected 'banana' in abdomen" },
        { std::string(kSmall).substr(0, std::string(kSmall).find("MOTION")), 15, "MOTION is missing" },
        { "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 0\n}\nMOTION\n", 7, "no channels" },
        { withLine(17, "Frame Time: 0.1"), 17, "expected 'Frames:'" },
        { withLine(17, "Frames: -1"), 17, "not a whole number" },
        { withLine(17, "Frames: 999999999"), 17, "more motion than this reader accepts" },
        { withLine(17, "Frames: 5000000"), 20, "ends after 2 of 5000000 frames" },
        { withLine(18, "0 90 0 0 0 0 10 20 30"), 18, "expected 'Frame Time:'" },
        { withLine(18, "Frame Time: 0"), 18, "Frame Time must be" },
        { withLine(18, "Frame Time: nan"), 18, "Frame Time must be" },
        { withLine(19, "0 90 0 0 0 0 10 20"), 19, "frame 1 has 8 values, but the hierarchy has 9" },
        { withLine(20, "1 91 0 0 0 0 11 21 31 41"), 20, "frame 2 has more than the 9 values" },
        { withLine(19, "0 90 0 nan 0 0 10 20 30"), 19, "'nan' is not a number (frame 1, value 4)" },
        { withLine(19, "0 90 0 1e999 0 0 10 20 30"), 19, "'1e999' is not a number" },
        { withLine(19, "0 9e9 0 0 0 0 10 20 30"), 19, "out of range" },
        { withLine(8, "OFFSET 0 1e300 0"), 8, "out of range" },
        { withLine(19, "0 90 0 0 0 0 10 20 30x"), 19, "'30x' is not a number" },
        { withLine(16, "MOTION 12"), 16, "after MOTION" },
        { std::string("HIERARCHY\nROOT a\n{\n\x01\x02\xff\n"), 4, "unexpected '?\?\?'" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message);
        BvhReader reader;
        BvhData data;
        EXPECT_FALSE(reader.parse(c.text, data, "test.bvh"));
        EXPECT_TRUE(data.joints.empty()) << "a failed parse must leave the output alone";
        const std::string error = reader.errorString();
        EXPECT_EQ(reader.errorLine(), c.line) << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
        EXPECT_EQ(error.rfind("test.bvh: line " + std::to_string(c.line) + ": ", 0), 0u) << error;
    }
}

TEST(BvhReader, ReadFileRefusesOversizedAndNonFiles)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(testing::TempDir()) / "bvhreader_files";
    fs::create_directories(dir);
    BvhReader reader;
    BvhData data;

    // A missing file is the importer's refusal test.
    EXPECT_FALSE(reader.readFile(dir, data));
    EXPECT_NE(reader.errorString().find("not a regular file"), std::string::npos) << reader.errorString();
    // A sparse file just over the limit: refused from its size, not read.
    const fs::path big = dir / "big.bvh";
    std::ofstream(big) << kSmall;
    fs::resize_file(big, BvhReader::kMaxFileBytes + 1);
    EXPECT_FALSE(reader.readFile(big, data));
    EXPECT_NE(reader.errorString().find("larger than 256 MiB"), std::string::npos) << reader.errorString();
    fs::remove(big);

    // Errors of a file carry its name.
    const fs::path bad = dir / "bad.bvh";
    std::ofstream(bad) << withLine(19, "0 90 0 0 0 0 10 20");
    EXPECT_FALSE(reader.readFile(bad, data));
    EXPECT_EQ(reader.errorString().rfind("bad.bvh: line 19: ", 0), 0u) << reader.errorString();
    EXPECT_TRUE(data.joints.empty());
}
