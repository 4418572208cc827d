#pragma once
// KyMasterFootDialog ("High Heel Rotational Offset"): edits the heel offset
// (−60 … 60 degrees) of the figure of the timeline pane's current track;
// each change re-poses the figure at the host's time at once, and "Done"
// only closes the dialog.

#include <QDialog>

class KyMaster;
class QSpinBox;

class KyMasterFootDialog : public QDialog
{
    Q_OBJECT
public:
    explicit KyMasterFootDialog(KyMaster *master);

    QSpinBox *offsetBox() const { return m_offset; }

public slots:
    void offsetChanged(int value);

private:
    KyMaster *m_master;
    QSpinBox *m_offset;
};
