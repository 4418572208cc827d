#include "kyfinder.h"

#include "kyfinderexplorer0.h"
#include "kyfinderview.h"
#include "kymixercore.h"
#include "kytimeline.h"

#include "kyblock.h"

#include "dzapp.h"
#include "dzcontentmgr.h"

#include <QDir>
#include <QTreeWidgetItem>
#include <QHBoxLayout>
#include <QTimer>
#include <QVBoxLayout>

namespace {

KyFinder *g_finder = nullptr;

QString contentPath(const char *relative)
{
    if (!dzApp || !dzApp->getContentMgr())
        return QString();
    return dzApp->getContentMgr()->getAbsolutePath(QString::fromLatin1(relative));
}

} // namespace

KyFinder::KyFinder(KyMixerCore *core, QWidget *parent)
    : QWidget(parent)
    , m_core(core)
{
    g_finder = this;
    setObjectName(QStringLiteral("KyFinder"));
    setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addSpacing(10);
    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    row->addSpacing(1);
    m_view = new KyFinderView(this, this);
    m_explorer = new KyFinderExplorer0(m_view, this);
    row->addWidget(m_explorer);
    row->addSpacing(5);
    row->addWidget(m_view);
    row->addSpacing(5);
    column->addLayout(row);
    column->addSpacing(5);

    if (m_core && m_core->timeline()) {
        // New blocks are saved in the folder the browser shows, and shown
        // there once saved.
        m_core->timeline()->setBlockFolderProvider(
            [this] { return m_view->folder().isEmpty() ? QDir::homePath() : m_view->folder(); });
        connect(m_core, &KyMixerCore::blockCreated, this, [this](KyBlock *block) {
            if (block)
                m_view->showFolderOf(block->path);
        });
    }
    QTimer::singleShot(100, this, &KyFinder::delayFirstFolder);
}

KyFinder::~KyFinder()
{
    if (m_core && m_core->timeline())
        m_core->timeline()->setBlockFolderProvider(nullptr);
    if (g_finder == this)
        g_finder = nullptr;
}

KyFinder *KyFinder::instance()
{
    return g_finder;
}

KyTimeline *KyFinder::timelineModel() const
{
    return m_core ? m_core->timeline() : nullptr;
}

QString KyFinder::contentRoot()
{
    return contentPath("kinBlocks/Trelvo/");
}

QString KyFinder::contentStartFolder()
{
    return contentPath("kinBlocks/Trelvo/dance");
}

void KyFinder::delayFirstFolder()
{
    if (m_filled)
        return;
    if (!m_view->isVisible()) {
        QTimer::singleShot(500, this, &KyFinder::delayFirstFolder);
        return;
    }
    m_filled = true;
    m_explorer->loadRoots();
    const QString root = contentRoot();
    m_explorer->setDefaultRoot(root);
    if (!root.isEmpty()) {
        m_explorer->addRoot(QDir(root));
        // The stock library's folders in view, so its subfolders are found.
        for (size_t i = 0; i < m_explorer->roots().size(); ++i) {
            if (m_explorer->roots()[i] == QDir(root))
                m_explorer->rootItems()[i]->setExpanded(true);
        }
    }
    const QString start = contentStartFolder();
    if (!start.isEmpty())
        m_view->showFolder(start);
}
