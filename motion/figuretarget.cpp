#include "figuretarget.h"

#include <dzbone.h>
#include <dzskeleton.h>

#include <algorithm>

namespace trelvo::motion {

bool FigureTarget::fromFigure(const DzSkeleton *figure, FigureTarget &out, std::string *error)
{
    auto fail = [error](std::string message) {
        if (error)
            *error = std::move(message);
        return false;
    };
    if (!figure)
        return fail("no figure");
    QList<DzBone *> all = figure->getAllBones();
    const auto hip = std::find_if(all.begin(), all.end(), [](DzBone *b) { return b->getName() == "hip"; });
    if (hip == all.end())
        return fail("the figure '" + figure->getName().toStdString() + "' has no 'hip' bone");
    if (qobject_cast<DzBone *>((*hip)->getNodeParent()))
        return fail("the figure's hip hangs below the bone '" + (*hip)->getNodeParent()->getName().toStdString()
                    + "'; the hip must be a root bone");
    // Moving a root bone to the front keeps every parent ahead of its children.
    DzBone *hipBone = *hip;
    all.erase(hip);
    all.prepend(hipBone);

    FigureTarget result;
    for (DzBone *bone : all) {
        TargetBone target;
        target.name = bone->getName().toStdString();
        target.origin = bone->getOrigin();
        target.end = bone->getEndPoint();
        target.rotationOrder = bone->getRotationOrder();
        DzBone *parent = qobject_cast<DzBone *>(bone->getNodeParent());
        target.parent = parent ? static_cast<int>(std::find(result.bones.begin(), result.bones.end(), parent)
                                                  - result.bones.begin())
                               : -1;
        result.skeleton.bones.push_back(std::move(target));
        result.bones.push_back(bone);
    }
    std::string why;
    if (!result.skeleton.validate(&why))
        return fail("the figure's skeleton is not usable: " + why);
    out = std::move(result);
    return true;
}

} // namespace trelvo::motion
