#pragma once
// Section numbers of the pad's objects in scene files.

enum KyPadSection : short {
    kSectionDataFigure = 512,
    kSectionDataLayers = 513,
    kSectionLayerName = 514,
    kSectionLayerFigure = 515,
    kSectionLayerPoses = 516,
    kSectionLayerView = 517,
    kSectionPoseBackward = 521,
    kSectionPosePosition = 528,
    kSectionPoseFigure = 529,
    kSectionPoseNodeData = 530,
    kSectionNodePos = 531,
    kSectionNodeScale = 532,
    kSectionNodeRot = 534,
    kSectionNodeProps = 535,
    kSectionPoseBlock = 536,
};
