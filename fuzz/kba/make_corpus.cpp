// Writes the seed corpus of fuzz_kba: small valid block files covering every
// record type, made by the block core itself (types 1 and 3) and assembled
// byte by byte (types 2 and 5, which the program reads but never makes).
// Usage: fuzz_kba_corpus FOLDER
#include "blockfile.h"
#include "channelstore.h"
#include "fileaccess.h"
#include "nodetable.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void putBig(std::vector<uint8_t> &out, int32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

void header(std::vector<uint8_t> &out, const char *node, int32_t type, int32_t count, uint32_t next)
{
    const uint32_t hash = nameHash(node);
    put32(out, hash);
    put32(out, static_cast<uint32_t>(type));
    put32(out, static_cast<uint32_t>(count));
    put32(out, 0);
    put32(out, hash);
    put32(out, next);
}

bool writeFile(const std::string &folder, const char *name, const std::vector<uint8_t> &bytes)
{
    std::string error;
    if (!replaceFileContents(folder + "/" + name, bytes.data(), bytes.size(), &error)) {
        std::fprintf(stderr, "fuzz_kba_corpus: %s\n", error.c_str());
        return false;
    }
    return true;
}

bool writeSlot(const std::string &folder, const char *name, int slot)
{
    return writeFile(folder, name, serializeChain(slotRecords(slot)));
}

// A translation record of two keys, then the given records.
std::vector<uint8_t> withHip(const std::vector<uint8_t> &rest)
{
    std::vector<uint8_t> out;
    header(out, "hip", 1, 2, rest.empty() ? 0 : 56);
    for (int32_t v : {0, 0, 100 << 16, 0, 500, 1 << 16, 100 << 16, 20 << 16})
        put32(out, static_cast<uint32_t>(v));
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_kba_corpus FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    registerStandardNodes();
    bool ok = true;

    const int two = allocateSlot();
    addTranslationKey(two, "hip", 0, 0, 100, 0);
    addTranslationKey(two, "hip", 1000, 10, 100, 5);
    ok &= writeSlot(folder, "two_keys.kba", two);

    const int walk = allocateSlot();
    const char *bones[] = {"abdomen", "chest", "lShldr", "rShldr", "lThigh", "rThigh"};
    for (int t = 0; t <= 330; t += 33) {
        addTranslationKey(walk, "hip", t, 0.1f * t, 99.24f, 0.3f * t);
        int i = 0;
        for (const char *bone : bones) {
            const float angle = static_cast<float>((t + 40 * i) % 200) - 100.0f;
            addRotationKey(walk, bone, t, angle, i % 2 ? 1.0f : 0.0f, 0.6f, i % 2 ? 0.0f : 0.8f);
            ++i;
        }
    }
    ok &= writeSlot(folder, "walk.kba", walk);

    const int turn = allocateSlot();
    addTranslationKey(turn, "hip", 0, 0, 100, 0);
    addTranslationKey(turn, "hip", 200, 0, 100, 0);
    addRotationKey(turn, "neck", 0, 170, 0, 1, 0);
    addRotationKey(turn, "neck", 200, -170, 0, 1, 0);
    addRotationKey(turn, "hip", 0, 90, 0, 1, 0);
    addRotationKey(turn, "hip", 200, 135, 0, 1, 0);
    ok &= writeSlot(folder, "half_turn.kba", turn);

    {
        // Angle-and-axis keys of 170 and −170 degrees: 36 bytes a key.
        std::vector<uint8_t> rest;
        header(rest, "head", 2, 2, 0);
        for (int32_t angle : {170, -170}) {
            put32(rest, angle == 170 ? 0 : 500);
            put32(rest, static_cast<uint32_t>(angle * 65536));
            for (int32_t v : {0, 65536, 0, 0, 0, 0, 0})
                put32(rest, static_cast<uint32_t>(v));
        }
        ok &= writeFile(folder, "angle_axis.kba", withHip(rest));
    }
    {
        // A packed stream: a full entry, two delta entries, another full one.
        std::vector<uint8_t> stream;
        putBig(stream, 0, 2);
        putBig(stream, 10 << 16, 3);
        for (int32_t v : {0, 65536, 0})
            putBig(stream, v, 3);
        for (int dt : {5, 33}) {
            stream.push_back(static_cast<uint8_t>(0x80 | dt));
            putBig(stream, (20 + dt) << 16, 3);
            for (int32_t v : {100, -200, 300})
                putBig(stream, v, 2);
        }
        putBig(stream, 400, 2);
        putBig(stream, 200 << 16, 3);
        for (int32_t v : {65536, 0, 0})
            putBig(stream, v, 3);
        std::vector<uint8_t> rest;
        header(rest, "lForeArm", 5, 0, 0);
        put32(rest, static_cast<uint32_t>(24 + stream.size()));
        rest.insert(rest.end(), 20, 0);
        rest.insert(rest.end(), stream.begin(), stream.end());
        ok &= writeFile(folder, "packed_stream.kba", withHip(rest));
    }
    {
        // An unknown record type and a node outside the standard list.
        std::vector<uint8_t> rest;
        header(rest, "tail", 9, 3, 56 + 24);
        header(rest, "tail", 3, 1, 0);
        for (int32_t v : {0, 0, 45 << 16, 0})
            put32(rest, static_cast<uint32_t>(v));
        ok &= writeFile(folder, "other_types.kba", withHip(rest));
    }
    return ok ? 0 : 1;
}
