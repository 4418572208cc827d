#pragma once

#include "bvhdata.h"
#include "motionimporter.h"

#include <QDialog>

#include <functional>

class DzSkeleton;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;

// File -> Import Motion, after the file is chosen: how the file's joints
// map onto the figure's bones (one row per joint, the bone a drop-down the
// user may change), the frame rate (the file's unless the user knows
// better), whether a rest pose in frame 1 is left out, and warnings for a
// leg, arm or the spine left undriven, or for a motion longer than a block
// made from it can hold. Import is disabled, with the
// reason shown, while the import would be refused. Mappings can be saved
// and loaded as the JSON trelvo-kba bvh-map prints.
class MotionImportDialog : public QDialog {
    Q_OBJECT
public:
    MotionImportDialog(const trelvo::motion::BvhData &bvh, DzSkeleton *figure, const QString &fileName,
        QWidget *parent = nullptr);

    // The options to import with: source frame rate, first frame, and the
    // mapping when the user changed or loaded one.
    trelvo::motion::MotionImportOptions options() const;
    const trelvo::motion::MotionImportPreview &preview() const { return m_preview; }

    // The bone a joint's row shows ("" for none); false for an unknown joint.
    QString boneOf(const QString &joint) const;
    // Sets a joint's bone as the user would ("" for none).
    bool setBone(const QString &joint, const QString &bone);
    void setFramesPerSecond(double fps);
    QString warningText() const;
    bool canImport() const;

    bool loadMapping(const QString &path, QString *error);
    bool saveMapping(const QString &path, QString *error) const;

    // Shows the dialog; true when the user chose Import. Tests replace the
    // runner (an empty function restores the modal default) and get the
    // previous one back.
    using Runner = std::function<bool(MotionImportDialog &)>;
    static Runner setRunner(Runner runner);
    bool run();

    // Reads the file at path and runs the dialog for it; false when the user
    // cancelled or the file cannot be read (said in a message then).
    static bool ask(QWidget *parent, const QString &path, DzSkeleton *figure,
        trelvo::motion::MotionImportOptions *options);

private:
    void fillTable();
    void refresh();
    trelvo::motion::BoneMap::Assignments tableMapping() const;

    const trelvo::motion::BvhData &m_bvh;
    DzSkeleton *m_figure;
    trelvo::motion::MotionImportPreview m_preview;
    bool m_edited = false;
    bool m_filling = false;
    QLabel *m_summary = nullptr;
    QDoubleSpinBox *m_fps = nullptr;
    QCheckBox *m_keepFirst = nullptr;
    QTableWidget *m_table = nullptr;
    QLabel *m_warnings = nullptr;
    QPushButton *m_import = nullptr;
};
