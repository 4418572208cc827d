// Class identifiers, class factories, plug-in definitions and the host's
// class registry.
#include "dzclassfactory.h"
#include "dzguid.h"
#include "dzplugin.h"
#include "servicestestsupport.h"

#include <QHash>
#include <QSet>

namespace {

class Widgetless : public QObject {
    Q_OBJECT
public:
    Widgetless() = default;
};

class WidgetlessFactory : public DzClassFactory {
public:
    explicit WidgetlessFactory(const DzGUID &id)
        : DzClassFactory(&Widgetless::staticMetaObject, id)
    {
    }
    using DzClassFactory::createInstance;
    QObject *createInstance() const override { return new Widgetless; }
};

const DzGUID kSomeId = DzGUID::fromString(QStringLiteral("30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0"));

} // namespace

TEST(Guid, ParsesTextIgnoringCaseAndBraces)
{
    bool ok = false;
    const DzGUID g = DzGUID::fromString(QStringLiteral("30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0"), &ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(g.isNull());
    EXPECT_EQ(g.getData1(), 0x30E6B1A0u);
    EXPECT_EQ(g.getData2(), 0x2DD1u);
    EXPECT_EQ(g.getData3(), 0x4E93u);
    EXPECT_EQ(g.getData4()[0], 0x8C);
    EXPECT_EQ(g.getData4()[7], 0xE0);
    EXPECT_EQ(g.toString(), QStringLiteral("30E6B1A0-2DD1-4E93-8C82-48DBDEFC4DE0"));

    EXPECT_EQ(DzGUID::fromString(QStringLiteral("30e6b1a0-2dd1-4E93-8c82-48dbdefc4de0")), g);
    EXPECT_EQ(DzGUID::fromString(QStringLiteral("{30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0}")), g);
    EXPECT_EQ(DzGUID::fromString(g.toString()), g);
    EXPECT_NE(DzGUID::fromString(QStringLiteral("30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE1")), g);
}

TEST(Guid, RefusesMalformedText)
{
    const char *bad[] = {
        "",
        "30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE", // one digit short
        "30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE00", // one digit long
        "30E6B1A02-DD1-4e93-8C82-48DBDEFC4DE0", // dash misplaced
        "30E6B1A0-2DD1-4e93-8C82_48DBDEFC4DE0", // wrong separator
        "30E6B1G0-2DD1-4e93-8C82-48DBDEFC4DE0", // not hex
        " 30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0", // space
        "{30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0", // unbalanced brace
        "(30E6B1A0-2DD1-4e93-8C82-48DBDEFC4DE0)", // wrong brackets
        "30E6B1A02DD14e938C8248DBDEFC4DE0", // no dashes
    };
    for (const char *text : bad) {
        bool ok = true;
        const DzGUID g = DzGUID::fromString(QString::fromLatin1(text), &ok);
        EXPECT_FALSE(ok) << text;
        EXPECT_TRUE(g.isNull()) << text;
    }
}

TEST(Guid, LegacyClassIdsShareTheNamespace)
{
    const DzGUID legacy = DzGUID::fromLegacyClassID(0x13370014);
    EXPECT_FALSE(legacy.isNull());
    EXPECT_TRUE(legacy.isLegacyClassID());
    EXPECT_EQ(legacy.getLegacyClassID(), 0x13370014u);
    EXPECT_EQ(legacy.toString(), QStringLiteral("13370014-0000-0000-0000-000000000000"));
    EXPECT_EQ(legacy, DzGUID::fromString(legacy.toString()));
    EXPECT_NE(legacy, DzGUID::fromLegacyClassID(0x13370015));
    EXPECT_FALSE(kSomeId.isLegacyClassID());
    EXPECT_EQ(kSomeId.getLegacyClassID(), 0u);
    EXPECT_TRUE(DzGUID::fromLegacyClassID(0).isNull());
}

TEST(Guid, BytesRoundTripAndHashing)
{
    const auto bytes = kSomeId.toBytes();
    EXPECT_EQ(bytes[0], 0xA0); // data1 little-endian
    EXPECT_EQ(bytes[3], 0x30);
    EXPECT_EQ(DzGUID::fromBytes(bytes.data()), kSomeId);

    QSet<DzGUID> set;
    set.insert(kSomeId);
    set.insert(DzGUID::fromString(QStringLiteral("30e6b1a0-2dd1-4e93-8c82-48dbdefc4de0")));
    set.insert(DzGUID::fromLegacyClassID(7));
    EXPECT_EQ(set.size(), 2);
    EXPECT_EQ(qHash(kSomeId), qHash(DzGUID::fromString(kSomeId.toString())));
}

TEST(PluginDefinition, KeepsFactoriesInOrderWithoutDuplicates)
{
    DzPlugin p(QStringLiteral("Name"));
    EXPECT_TRUE(p.getAuthor().isNull());
    EXPECT_EQ(p.getVersion(), 0u);
    p.setVersion(0x0100001E);
    EXPECT_EQ(p.getVersionString(), QStringLiteral("1.0.0.30"));
    WidgetlessFactory a(DzGUID::fromLegacyClassID(1));
    WidgetlessFactory b(DzGUID::fromLegacyClassID(2));
    EXPECT_TRUE(p.addClassFactory(&a));
    EXPECT_TRUE(p.addClassFactory(&b));
    EXPECT_FALSE(p.addClassFactory(&a));
    EXPECT_FALSE(p.addClassFactory(nullptr));
    ASSERT_EQ(p.getNumClassFactories(), 2);
    EXPECT_EQ(p.getClassFactory(0), &a);
    EXPECT_EQ(p.getClassFactory(1), &b);
    EXPECT_EQ(p.getClassFactory(2), nullptr);
    EXPECT_EQ(p.getClassFactory(-1), nullptr);
}

using ClassRegistry = ServicesTest;

TEST_F(ClassRegistry, FindsAndCreatesByIdentifierAndName)
{
    WidgetlessFactory f(kSomeId);
    ASSERT_TRUE(m_app->registerClassFactory(&f));
    EXPECT_EQ(m_app->findClassFactory(kSomeId), &f);
    EXPECT_EQ(m_app->findClassFactory(QStringLiteral("Widgetless")), &f);
    EXPECT_EQ(m_app->findClassFactory(DzGUID::fromLegacyClassID(3)), nullptr);
    EXPECT_EQ(m_app->findClassFactory(QStringLiteral("Other")), nullptr);

    std::unique_ptr<QObject> byId(m_app->createInstance(kSomeId));
    ASSERT_TRUE(byId);
    EXPECT_EQ(byId->objectName(), QStringLiteral("Widgetless"));
    std::unique_ptr<QObject> byName(m_app->createInstance(QStringLiteral("Widgetless")));
    EXPECT_TRUE(byName);
    EXPECT_EQ(m_app->createInstance(QStringLiteral("Other")), nullptr);

    EXPECT_TRUE(m_app->unregisterClassFactory(&f));
    EXPECT_EQ(m_app->findClassFactory(kSomeId), nullptr);
}

TEST_F(ClassRegistry, RefusesClashingFactories)
{
    WidgetlessFactory f(kSomeId);
    WidgetlessFactory sameId(kSomeId);
    WidgetlessFactory sameName(DzGUID::fromLegacyClassID(9));
    WidgetlessFactory nullId { DzGUID() };
    ASSERT_TRUE(m_app->registerClassFactory(&f));
    EXPECT_FALSE(m_app->registerClassFactory(&f));
    EXPECT_FALSE(m_app->registerClassFactory(&sameId));
    EXPECT_FALSE(m_app->registerClassFactory(&sameName));
    EXPECT_FALSE(m_app->registerClassFactory(&nullId));
    EXPECT_FALSE(m_app->registerClassFactory(nullptr));
    EXPECT_EQ(m_app->getNumClassFactories(), 1);
    EXPECT_TRUE(dzLogContains(QStringLiteral("already registered")));
    m_app->unregisterClassFactory(&f);
}

#include "test_guid.moc"
