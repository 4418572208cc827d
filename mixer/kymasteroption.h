#pragma once
// The timeline pane's on/off options as actions: previewing with the mouse,
// auto trim, finger masking and the three default reorient flags of new
// blocks. They differ only in their text and in which option they read and
// write, so one base does the work from a row of the option table.

#include "dzaction.h"

class KyMixerPane;
class KyTimeline;

struct KyMasterOption {
    const char *className;   // object name, e.g. "KyMasterSkimming"
    const char *text;        // menu text
    const char *description; // status text
    bool (*isOn)(const KyTimeline &timeline);
    void (*setOn)(KyMixerPane &pane, bool on);
};

class KyMasterOptionAction : public DzAction
{
public:
    explicit KyMasterOptionAction(const KyMasterOption &option);
    // Takes its on state from the timeline pane.
    void init() override;

protected:
    void toggleAction(bool onOff) override;

private:
    const KyMasterOption &m_option;
};
