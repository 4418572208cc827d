#include "bvhwriter.h"
#include "motiontestdata.h"

#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>

using namespace trelvo::motion;

namespace {

// root (2 channels) -> a, b; a -> c. Stored out of depth-first order on
// purpose: root, a, b, c.
BvhData builtInCode()
{
    using motiontest::joint;
    BvhData d;
    d.frameTime = 1.0 / 24.0;
    d.joints = { joint("root", -1, { 0, 1, 0 }, { BvhChannel::Yposition, BvhChannel::Yrotation }),
        joint("a", 0, { 1, 0, 0 }, { BvhChannel::Zrotation }),
        joint("b", 0, { -1, 0, 0 }, { BvhChannel::Xrotation }),
        joint("c", 1, { 0.1f, 0.2, 1.0 / 3.0 }, { BvhChannel::Xrotation, BvhChannel::Zrotation },
            { 0, 0, 0.25 }) };
    d.assignChannelIndices();
    d.frameCount = 2;
    // per frame: root Ypos, root Yrot, a Zrot, b Xrot, c Xrot, c Zrot
    d.values = { 1.0f, 10.0f, 20.0f, 30.0f, 40.0f, 50.0f, 0.1f, -0.0f, 1e-7f, 3.4e5f, -45.5f, 1.0f / 3.0f };
    return d;
}

} // namespace

TEST(BvhWriter, ShippedFilesReadAndRoundTripExactly)
{
    int files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(motiontest::mocapDir())) {
        if (entry.path().extension() != ".bvh")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().string());
        const BvhData original = motiontest::readMocap(entry.path());
        std::string text, why;
        EXPECT_TRUE(original.validate(&why)) << why;
        BvhWriter writer;
        ASSERT_TRUE(writer.toText(original, text)) << writer.errorString();
        BvhReader reader;
        BvhData again;
        ASSERT_TRUE(reader.parse(text, again)) << reader.errorString();
        // Bit-exact: the values, and everything else as written.
        EXPECT_EQ(again.values, original.values);
        std::string textAgain;
        ASSERT_TRUE(writer.toText(again, textAgain));
        EXPECT_EQ(textAgain, text);
    }
    EXPECT_EQ(files, 28);
}

TEST(BvhWriter, WritesDepthFirstAndKeepsEachJointsValues)
{
    const BvhData d = builtInCode();
    BvhWriter writer;
    std::string text;
    ASSERT_TRUE(writer.toText(d, text)) << writer.errorString();
    BvhReader reader;
    BvhData back;
    ASSERT_TRUE(reader.parse(text, back)) << reader.errorString();
    ASSERT_EQ(back.joints.size(), 4u);
    // Depth first: c before b, each joint's channels moving with it.
    EXPECT_EQ(back.joints[2].name, "c");
    EXPECT_EQ(back.joints[2].parent, 1);
    EXPECT_EQ(back.values,
        (std::vector<float> {
            1.0f, 10.0f, 20.0f, 40.0f, 50.0f, 30.0f, 0.1f, -0.0f, 1e-7f, -45.5f, 1.0f / 3.0f, 3.4e5f }));
    EXPECT_EQ(back.frameTime, d.frameTime);
    EXPECT_TRUE(back.joints[2].offset == d.joints[3].offset && back.joints[2].endSite == d.joints[3].endSite);
}

TEST(BvhWriter, RefusesDataItCannotWriteFaithfullyAndReplacesFilesAtomically)
{
    std::vector<std::pair<std::string, std::function<void(BvhData &)>>> faults = {
        { "NaN value", [](BvhData &d) { d.values[3] = std::nanf(""); } },
        { "short values", [](BvhData &d) { d.values.pop_back(); } },
        { "own parent", [](BvhData &d) { d.joints[3].parent = 3; } },
    };
    for (const char *name : { "a{b", "two  spaces", " lead", "line\nbreak", "" })
        faults.push_back({ name, [name](BvhData &d) { d.joints[1].name = name; } });
    BvhWriter writer;
    std::string text = "untouched";
    for (const auto &[what, fault] : faults) {
        BvhData d = builtInCode();
        fault(d);
        EXPECT_FALSE(writer.toText(d, text)) << what;
    }
    EXPECT_EQ(text, "untouched");

    namespace fs = std::filesystem;
    const fs::path dir = fs::path(testing::TempDir()) / "bvhwriter_atomic";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "out.bvh";
    std::ofstream(target) << "old contents";
    ASSERT_TRUE(writer.writeFile(target, builtInCode())) << writer.errorString();
    std::string expected;
    ASSERT_TRUE(writer.toText(builtInCode(), expected));
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "only the target is left";

    // A refused write leaves the old file as it was.
    BvhData bad = builtInCode();
    bad.values[0] = INFINITY;
    EXPECT_FALSE(writer.writeFile(target, bad));
    EXPECT_NE(writer.errorString().find("finite"), std::string::npos) << writer.errorString();
    BvhReader reader;
    BvhData back;
    EXPECT_TRUE(reader.readFile(target, back)) << reader.errorString();
    // A folder that does not exist is reported, nothing is created.
    EXPECT_FALSE(writer.writeFile(dir / "missing" / "out.bvh", builtInCode()));
    EXPECT_NE(writer.errorString().find("missing"), std::string::npos) << writer.errorString();
    EXPECT_FALSE(fs::exists(dir / "missing"));
}
