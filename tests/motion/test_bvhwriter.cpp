#include "bvhreader.h"
#include "bvhwriter.h"
#include "motiontestdata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

using namespace trelvo::motion;

namespace {

// root (2 channels) -> a, b; a -> c. Stored out of depth-first order on
// purpose: root, a, b, c.
BvhData builtInCode()
{
    BvhData d;
    d.frameTime = 1.0 / 24.0;
    BvhJoint root = motiontest::joint("root", -1, {0, 1, 0}, {BvhChannel::Yposition, BvhChannel::Yrotation});
    BvhJoint a = motiontest::joint("a", 0, {1, 0, 0}, {BvhChannel::Zrotation});
    BvhJoint b = motiontest::joint("b", 0, {-1, 0, 0}, {BvhChannel::Xrotation});
    BvhJoint c = motiontest::joint("c", 1, {0.1f, 0.2, 1.0 / 3.0}, {BvhChannel::Xrotation, BvhChannel::Zrotation});
    c.hasEndSite = true;
    c.endSite = {0, 0, 0.25};
    d.joints = {root, a, b, c};
    d.assignChannelIndices();
    d.frameCount = 2;
    // per frame: root Ypos, root Yrot, a Zrot, b Xrot, c Xrot, c Zrot
    d.values = {1.0f, 10.0f, 20.0f, 30.0f, 40.0f, 50.0f, 0.1f, -0.0f, 1e-7f, 3.4e5f, -45.5f, 1.0f / 3.0f};
    return d;
}

bool sameData(const BvhData &a, const BvhData &b)
{
    if (a.joints.size() != b.joints.size() || a.frameCount != b.frameCount || a.frameTime != b.frameTime)
        return false;
    for (std::size_t j = 0; j < a.joints.size(); ++j) {
        const BvhJoint &x = a.joints[j];
        const BvhJoint &y = b.joints[j];
        if (x.name != y.name || x.parent != y.parent || x.channels != y.channels || x.hasEndSite != y.hasEndSite
            || x.offset.m_x != y.offset.m_x || x.offset.m_y != y.offset.m_y || x.offset.m_z != y.offset.m_z
            || (x.hasEndSite && (x.endSite.m_x != y.endSite.m_x || x.endSite.m_y != y.endSite.m_y || x.endSite.m_z != y.endSite.m_z)))
            return false;
    }
    return a.values == b.values;
}

} // namespace

TEST(BvhWriter, ShippedFilesRoundTripExactly)
{
    for (const motiontest::MocapFile &file : motiontest::mocapFiles()) {
        SCOPED_TRACE(file.path);
        BvhReader reader;
        BvhData original;
        ASSERT_TRUE(reader.readFile(motiontest::mocapDir() / file.path, original)) << reader.errorString();
        BvhWriter writer;
        std::string text;
        ASSERT_TRUE(writer.toText(original, text)) << writer.errorString();
        BvhData again;
        ASSERT_TRUE(reader.parse(text, again)) << reader.errorString();
        EXPECT_TRUE(sameData(original, again));
    }
}

TEST(BvhWriter, WritesDepthFirstAndKeepsEachJointsValues)
{
    const BvhData d = builtInCode();
    BvhWriter writer;
    std::string text;
    ASSERT_TRUE(writer.toText(d, text)) << writer.errorString();
    EXPECT_LT(text.find("JOINT c"), text.find("JOINT b"));
    EXPECT_NE(text.find("Frames:\t2\nFrame Time:\t"), std::string::npos);

    BvhReader reader;
    BvhData back;
    ASSERT_TRUE(reader.parse(text, back)) << reader.errorString();
    ASSERT_EQ(back.joints.size(), 4u);
    EXPECT_EQ(back.joints[2].name, "c");
    EXPECT_EQ(back.joints[3].name, "b");
    EXPECT_EQ(back.frameTime, d.frameTime);
    for (const char *name : {"root", "a", "b", "c"}) {
        const int i = d.findJoint(name);
        const int k = back.findJoint(name);
        EXPECT_EQ(back.joints[k].offset.m_z, d.joints[i].offset.m_z) << name;
        for (int f = 0; f < 2; ++f) {
            EXPECT_EQ(motiontest::radiansBetween(back.localRotation(f, k), d.localRotation(f, i)), 0.0) << name;
            const DzVec3 t1 = back.localTranslation(f, k), t2 = d.localTranslation(f, i);
            EXPECT_EQ(t1.m_y, t2.m_y) << name;
        }
    }
    EXPECT_EQ(back.joints[back.findJoint("c")].endSite.m_z, 0.25);
}

TEST(BvhWriter, RefusesDataItCannotWriteFaithfully)
{
    BvhWriter writer;
    std::string text = "untouched";
    {
        BvhData d = builtInCode();
        d.values[3] = std::nanf("");
        EXPECT_FALSE(writer.toText(d, text));
        EXPECT_NE(writer.errorString().find("finite"), std::string::npos) << writer.errorString();
    }
    {
        BvhData d = builtInCode();
        d.values.pop_back();
        EXPECT_FALSE(writer.toText(d, text));
    }
    for (const char *name : {"a{b", "two  spaces", " lead", "line\nbreak", ""}) {
        BvhData d = builtInCode();
        d.joints[1].name = name;
        EXPECT_FALSE(writer.toText(d, text)) << name;
    }
    {
        BvhData d = builtInCode();
        d.joints[3].parent = 3;
        EXPECT_FALSE(writer.toText(d, text));
    }
    EXPECT_EQ(text, "untouched");
}

TEST(BvhWriter, ReplacesFilesAtomically)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(testing::TempDir()) / "bvhwriter_atomic";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "out.bvh";
    { std::ofstream(target) << "old contents"; }

    BvhWriter writer;
    ASSERT_TRUE(writer.writeFile(target, builtInCode())) << writer.errorString();
    std::string expected;
    ASSERT_TRUE(writer.toText(builtInCode(), expected));
    std::ifstream in(target, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, expected);
    // Nothing but the target is left in the folder.
    int entries = 0;
    for (const auto &entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1);

    // A refused write leaves the old file as it was.
    BvhData bad = builtInCode();
    bad.values[0] = INFINITY;
    EXPECT_FALSE(writer.writeFile(target, bad));
    BvhReader reader;
    BvhData back;
    EXPECT_TRUE(reader.readFile(target, back)) << reader.errorString();

    // A folder that does not exist is reported, nothing is created.
    EXPECT_FALSE(writer.writeFile(dir / "missing" / "out.bvh", builtInCode()));
    EXPECT_NE(writer.errorString().find("missing"), std::string::npos) << writer.errorString();
    EXPECT_FALSE(fs::exists(dir / "missing"));
}
