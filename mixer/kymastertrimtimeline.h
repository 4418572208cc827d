#pragma once
// Option: trim the host's animation range to the longest track.

#include "kymasteroption.h"

class KyMasterTrimTimeline : public KyMasterOptionAction
{
    Q_OBJECT
public:
    KyMasterTrimTimeline();
};
