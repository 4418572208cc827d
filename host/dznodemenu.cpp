#include "dznodemenu.h"

#include "dznode.h"

#include <QComboBox>
#include <QHBoxLayout>

namespace {

// A combo box that tells its owner before the list opens.
class NodeCombo : public QComboBox {
public:
    NodeCombo(QWidget *parent, std::function<void()> beforePopup)
        : QComboBox(parent)
        , m_beforePopup(std::move(beforePopup))
    {
    }

    void showPopup() override
    {
        m_beforePopup();
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_beforePopup;
};

} // namespace

DzNodeMenu::DzNodeMenu(QWidget *parent, const QString &name, bool allowNone)
    : QWidget(parent)
    , m_allowNone(allowNone)
{
    setObjectName(name);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_combo = new NodeCombo(this, [this] { popupRequested(); });
    m_combo->setObjectName(QStringLiteral("DzNodeMenuCombo"));
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layout->addWidget(m_combo);
    setFocusProxy(m_combo);
    connect(m_combo, &QComboBox::activated, this, &DzNodeMenu::userPicked);
    rebuild();
}

void DzNodeMenu::popupRequested()
{
    emit aboutToShowMenu();
}

void DzNodeMenu::setNodeList(const QList<DzNode *> &nodes)
{
    for (const QPointer<DzNode> &n : std::as_const(m_nodes)) {
        if (n)
            disconnect(n, nullptr, this, nullptr);
    }
    m_nodes.clear();
    for (DzNode *n : nodes) {
        if (!n || m_nodes.contains(n))
            continue;
        m_nodes.append(n);
    }
    if (m_current && !m_nodes.contains(m_current.data()))
        m_current = nullptr;
    for (const QPointer<DzNode> &n : std::as_const(m_nodes)) {
        connect(n, &DzElement::labelChanged, this, &DzNodeMenu::rebuild);
        connect(n, &QObject::destroyed, this, &DzNodeMenu::nodeGone);
    }
    rebuild();
}

QList<DzNode *> DzNodeMenu::getNodeList() const
{
    QList<DzNode *> out;
    for (const QPointer<DzNode> &n : m_nodes) {
        if (n)
            out.append(n.data());
    }
    return out;
}

void DzNodeMenu::selectNode(DzNode *node)
{
    if (node && !m_nodes.contains(node)) {
        m_nodes.append(node);
        connect(node, &DzElement::labelChanged, this, &DzNodeMenu::rebuild);
        connect(node, &QObject::destroyed, this, &DzNodeMenu::nodeGone);
    }
    m_current = node;
    rebuild();
}

void DzNodeMenu::nodeGone()
{
    // QPointer has already gone null; drop the empty entries. Deferred,
    // because the node is mid-destruction.
    QMetaObject::invokeMethod(this, &DzNodeMenu::rebuild, Qt::QueuedConnection);
}

DzNode *DzNodeMenu::nodeAt(int index) const
{
    const QVariant v = m_combo->itemData(index);
    const int i = v.isValid() ? v.toInt() : -1;
    return (i >= 0 && i < m_nodes.size()) ? m_nodes.at(i).data() : nullptr;
}

void DzNodeMenu::rebuild()
{
    m_nodes.removeAll(QPointer<DzNode>());
    m_rebuilding = true;
    m_combo->clear();
    const bool showNone = m_allowNone || !m_current;
    if (showNone)
        m_combo->addItem(tr("None"));
    int currentRow = showNone ? 0 : -1;
    for (int i = 0; i < m_nodes.size(); ++i) {
        m_combo->addItem(m_nodes.at(i)->getLabel(), i);
        if (m_nodes.at(i) == m_current)
            currentRow = m_combo->count() - 1;
    }
    m_combo->setCurrentIndex(currentRow);
    m_rebuilding = false;
}

void DzNodeMenu::userPicked(int index)
{
    if (m_rebuilding)
        return;
    DzNode *node = nodeAt(index);
    if (!node && !m_allowNone) {
        // The placeholder "None" cannot be picked; show what was current.
        rebuild();
        return;
    }
    const bool changed = node != m_current.data();
    m_current = node;
    if (!m_allowNone && node)
        rebuild(); // the placeholder goes away once a node is current
    if (changed)
        emit selectionChanged(node);
}
