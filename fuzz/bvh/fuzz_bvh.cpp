// Feeds arbitrary bytes to the BVH reader. Whatever it accepts must write
// back out and read again to the same data, and must retarget onto its own
// rest skeleton without tripping the sanitizers.
#include "bonemap.h"
#include "bvhreader.h"
#include "bvhwriter.h"
#include "retargeter.h"
#include "targetskeleton.h"

#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <string_view>

using namespace trelvo::motion;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    BvhReader reader;
    BvhData bvh;
    if (!reader.parse(text, bvh)) {
        if (reader.errorString().empty())
            std::abort();  // a refusal must say why
        return 0;
    }
    if (!bvh.validate())
        std::abort();

    // Names the writer refuses are legal input (the reader joins words), so
    // only a refusal for another reason is a fault.
    BvhWriter writer;
    std::string written;
    if (writer.toText(bvh, written)) {
        BvhData again;
        if (!reader.parse(written, again) || again.values != bvh.values || again.joints.size() != bvh.joints.size()
            || again.frameCount != bvh.frameCount || again.frameTime != bvh.frameTime)
            std::abort();
    }

    const BoneMap map(bvh);
    const TargetSkeleton own = TargetSkeleton::fromBvh(bvh, map);
    if (own.bones.empty())
        return 0;
    RetargetOptions options;
    options.toSeconds = 5.0;  // bounds the work for slow frame rates
    Retargeter retargeter(bvh, own, options);
    MotionClip clip;
    if (retargeter.isValid() && retargeter.run(clip)) {
        for (const DzQuat &q : clip.rotations) {
            if (!std::isfinite(q.m_x + q.m_y + q.m_z + q.m_w))
                std::abort();
        }
    }
    return 0;
}
