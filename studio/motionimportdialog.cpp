#include "motionimportdialog.h"

#include "bonemapfile.h"
#include "bvhreader.h"
#include "channelrecord.h"
#include "studioprompt.h"
#include "studiosettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kNoBone = QStringLiteral("(none)");

MotionImportDialog::Runner &runner()
{
    static MotionImportDialog::Runner current;
    return current;
}

QString joined(const std::vector<std::string> &lines)
{
    QStringList out;
    for (const std::string &line : lines)
        out << QString::fromStdString(line);
    return out.join(QLatin1Char('\n'));
}

// Blocks are made from a figure's keys sampled 30 times a second, each
// sample one key per record; a longer motion is cut when made into a block.
QString blockLimitWarning(double motionSeconds)
{
    const double blockSeconds = (kMaxRecordKeys - 1) / 30.0;
    if (motionSeconds <= blockSeconds + 1e-9)
        return QString();
    return QStringLiteral("A block holds at most %1 keys per record: a block made from all of this motion "
                          "keeps %2 s of %3 s.")
        .arg(kMaxRecordKeys)
        .arg(blockSeconds, 0, 'f', 1)
        .arg(motionSeconds, 0, 'f', 1);
}

} // namespace

MotionImportDialog::MotionImportDialog(
    const trelvo::motion::BvhData &bvh, DzSkeleton *figure, const QString &fileName, QWidget *parent)
    : QDialog(parent)
    , m_bvh(bvh)
    , m_figure(figure)
{
    setWindowTitle(QStringLiteral("Import Motion"));
    auto *layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    auto *form = new QFormLayout;
    m_fps = new QDoubleSpinBox(this);
    m_fps->setObjectName(QStringLiteral("framesPerSecond"));
    m_fps->setRange(1.0, 1000.0);
    m_fps->setDecimals(3);
    m_fps->setSuffix(QStringLiteral(" fps"));
    m_fps->setValue(bvh.frameTime > 0.0 ? 1.0 / bvh.frameTime : 30.0);
    m_fps->setToolTip(QStringLiteral("The rate the motion was recorded at; change it when the file's "
                                     "Frame Time is wrong."));
    form->addRow(QStringLiteral("Frame rate:"), m_fps);
    m_keepFirst = new QCheckBox(this);
    m_keepFirst->setObjectName(QStringLiteral("keepFirstFrame"));
    form->addRow(QString(), m_keepFirst);
    layout->addLayout(form);

    m_table = new QTableWidget(0, 2, this);
    m_table->setObjectName(QStringLiteral("mapping"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("File joint"), QStringLiteral("Figure bone")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setMinimumHeight(260);
    layout->addWidget(m_table, 1);

    m_warnings = new QLabel(this);
    m_warnings->setObjectName(QStringLiteral("warnings"));
    m_warnings->setWordWrap(true);
    m_warnings->setStyleSheet(QStringLiteral("color: #b04000;"));
    layout->addWidget(m_warnings);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_import = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    QPushButton *load = buttons->addButton(QStringLiteral("Load Mapping..."), QDialogButtonBox::ActionRole);
    QPushButton *save = buttons->addButton(QStringLiteral("Save Mapping..."), QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const QString filter = QStringLiteral("Bone mapping (*.json);;All files (*)");
    connect(load, &QPushButton::clicked, this, [this, filter] {
        const QString path = StudioPrompt::openFileName(
            this, QStringLiteral("Load Mapping"), StudioSettings::lastDirectory(), filter);
        QString error;
        if (!path.isEmpty() && !loadMapping(path, &error))
            StudioPrompt::error(this, error);
    });
    connect(save, &QPushButton::clicked, this, [this, filter] {
        const QString path = StudioPrompt::saveFileName(
            this, QStringLiteral("Save Mapping"), StudioSettings::lastDirectory(), filter);
        QString error;
        if (!path.isEmpty() && !saveMapping(path, &error))
            StudioPrompt::error(this, error);
    });
    connect(m_fps, &QDoubleSpinBox::valueChanged, this, [this] { refresh(); });
    connect(m_keepFirst, &QCheckBox::toggled, this, [this] { refresh(); });

    m_preview = trelvo::motion::MotionImporter::preview(m_bvh, m_figure, options());
    m_summary->setText(QStringLiteral("%1: %2 frames at %3 fps. Joints mapped as \"%4\".")
                           .arg(fileName)
                           .arg(bvh.frameCount)
                           .arg(bvh.frameTime > 0.0 ? 1.0 / bvh.frameTime : 0.0, 0, 'g', 6)
                           .arg(QString::fromStdString(m_preview.convention)));
    fillTable();
    refresh();
}

void MotionImportDialog::fillTable()
{
    m_filling = true;
    QStringList bones{kNoBone};
    for (const std::string &bone : m_preview.boneNames)
        bones << QString::fromStdString(bone);
    m_table->setRowCount(static_cast<int>(m_preview.mapping.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const auto &[joint, bone] = m_preview.mapping[row];
        auto *name = new QTableWidgetItem(QString::fromStdString(joint));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        m_table->setItem(row, 0, name);
        auto *combo = new QComboBox(m_table);
        combo->addItems(bones);
        combo->setCurrentText(bone.empty() ? kNoBone : QString::fromStdString(bone));
        connect(combo, &QComboBox::currentTextChanged, this, [this] {
            if (m_filling)
                return;
            m_edited = true;
            refresh();
        });
        m_table->setCellWidget(row, 1, combo);
    }
    m_filling = false;
}

trelvo::motion::BoneMap::Assignments MotionImportDialog::tableMapping() const
{
    trelvo::motion::BoneMap::Assignments out;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const auto *combo = static_cast<const QComboBox *>(m_table->cellWidget(row, 1));
        const QString bone = combo->currentText() == kNoBone ? QString() : combo->currentText();
        out.emplace_back(m_table->item(row, 0)->text().toStdString(), bone.toStdString());
    }
    return out;
}

trelvo::motion::MotionImportOptions MotionImportDialog::options() const
{
    trelvo::motion::MotionImportOptions o;
    o.retarget.sourceFrameTime = 1.0 / m_fps->value();
    o.retarget.dropFirstFrame = !m_keepFirst->isChecked();
    if (m_edited)
        o.retarget.mapping = tableMapping();
    return o;
}

void MotionImportDialog::refresh()
{
    m_preview = trelvo::motion::MotionImporter::preview(m_bvh, m_figure, options());
    m_keepFirst->setEnabled(m_preview.firstFrameIsRestPose);
    m_keepFirst->setText(m_preview.firstFrameIsRestPose
            ? QStringLiteral("Frame 1 is a rest pose and is left out; keep it")
            : QStringLiteral("Frame 1 is motion and is imported"));
    QString text = joined(m_preview.warnings);
    const int skipped = m_preview.firstFrameIsRestPose && !m_keepFirst->isChecked() ? 1 : 0;
    const QString limit = blockLimitWarning((m_preview.frames - 1 - skipped) / m_fps->value());
    if (!limit.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + limit;
    if (!m_preview.error.empty())
        text = QStringLiteral("Cannot import: %1").arg(QString::fromStdString(m_preview.error))
            + (text.isEmpty() ? QString() : QStringLiteral("\n") + text);
    m_warnings->setText(text);
    m_warnings->setVisible(!text.isEmpty());
    m_import->setEnabled(m_preview.error.empty());
}

QString MotionImportDialog::boneOf(const QString &joint) const
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, 0)->text() == joint) {
            const QString bone = static_cast<const QComboBox *>(m_table->cellWidget(row, 1))->currentText();
            return bone == kNoBone ? QString() : bone;
        }
    }
    return QString();
}

bool MotionImportDialog::setBone(const QString &joint, const QString &bone)
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, 0)->text() != joint)
            continue;
        auto *combo = static_cast<QComboBox *>(m_table->cellWidget(row, 1));
        const int index = combo->findText(bone.isEmpty() ? kNoBone : bone);
        if (index < 0)
            return false;
        combo->setCurrentIndex(index);
        return true;
    }
    return false;
}

void MotionImportDialog::setFramesPerSecond(double fps)
{
    m_fps->setValue(fps);
}

QString MotionImportDialog::warningText() const
{
    return m_warnings->text();
}

bool MotionImportDialog::canImport() const
{
    return m_import->isEnabled();
}

bool MotionImportDialog::loadMapping(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    trelvo::motion::BoneMap::Assignments mapping;
    std::string why;
    trelvo::motion::BoneMap map;
    if (!trelvo::motion::parseBoneMapJson(file.readAll().toStdString(), mapping, &why)
        || !trelvo::motion::BoneMap::fromAssignments(m_bvh, m_preview.boneNames, mapping, map, &why)) {
        *error = QStringLiteral("Cannot use the mapping \"%1\":\n%2").arg(path, QString::fromStdString(why));
        return false;
    }
    m_preview.mapping = map.assignments(m_bvh);
    fillTable();
    m_edited = true;
    refresh();
    return true;
}

bool MotionImportDialog::saveMapping(const QString &path, QString *error) const
{
    trelvo::motion::BoneMap map;
    std::string why;
    if (!trelvo::motion::BoneMap::fromAssignments(m_bvh, m_preview.boneNames, tableMapping(), map, &why)) {
        *error = QStringLiteral("The mapping cannot be saved:\n%1").arg(QString::fromStdString(why));
        return false;
    }
    QSaveFile file(path);
    const std::string text = trelvo::motion::boneMapJson(m_bvh, map, m_preview.boneNames);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size())
        || !file.commit()) {
        *error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

MotionImportDialog::Runner MotionImportDialog::setRunner(Runner r)
{
    Runner previous = runner();
    runner() = std::move(r);
    return previous;
}

bool MotionImportDialog::ask(
    QWidget *parent, const QString &path, DzSkeleton *figure, trelvo::motion::MotionImportOptions *options)
{
    trelvo::motion::BvhReader reader;
    trelvo::motion::BvhData bvh;
    if (!reader.readFile(QFile::encodeName(path).toStdString(), bvh)) {
        StudioPrompt::error(parent,
            QStringLiteral("Cannot import \"%1\":\n%2").arg(path, QString::fromStdString(reader.errorString())));
        return false;
    }
    MotionImportDialog dialog(bvh, figure, QFileInfo(path).fileName(), parent);
    if (!reader.warnings().empty())
        dialog.m_summary->setText(dialog.m_summary->text() + QStringLiteral("\n") + joined(reader.warnings()));
    if (!dialog.run())
        return false;
    *options = dialog.options();
    return true;
}

bool MotionImportDialog::run()
{
    if (runner())
        return runner()(*this);
    return exec() == QDialog::Accepted;
}
