#pragma once

// Shared set-up for the host services tests: a DzApp (with its scene) and a
// private settings folder per test, so tests never see each other's files.
#include "dzapp.h"
#include "dzclassfactory.h"
#include "dzlog.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setEnv("TRELVO_SETTINGS_DIR", m_dir.path().toLocal8Bit());
        dzClearLog();
        m_app = std::make_unique<DzApp>();
    }

    void TearDown() override
    {
        m_app.reset();
        flushDeletes();
        for (auto it = m_savedEnv.crbegin(); it != m_savedEnv.crend(); ++it) {
            if (it->second)
                qputenv(it->first, *it->second);
            else
                qunsetenv(it->first);
        }
    }

    // Sets an environment variable until the test ends.
    void setEnv(const char *name, const QByteArray &value)
    {
        std::optional<QByteArray> old;
        if (qEnvironmentVariableIsSet(name))
            old = qgetenv(name);
        m_savedEnv.emplace_back(name, old);
        qputenv(name, value);
    }

    // Runs pending deleteLater() calls (removed scene nodes, docks).
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QString scratchPath(const QString &name) const { return m_dir.filePath(name); }
    // Writes data to the scratch file `name` and gives its path.
    QString writeScratch(const QString &name, const QByteArray &data) const
    {
        QFile f(scratchPath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << name.toStdString();
        f.write(data);
        return f.fileName();
    }
    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
    }

    QTemporaryDir m_dir;
    std::vector<std::pair<const char *, std::optional<QByteArray>>> m_savedEnv;
    std::unique_ptr<DzApp> m_app;
};

// A factory making T, for test classes registered with the host.
template <typename T> class Factory : public DzClassFactory {
public:
    explicit Factory(const DzGUID &id)
        : DzClassFactory(&T::staticMetaObject, id)
    {
    }
    explicit Factory(const char *id)
        : Factory(DzGUID::fromString(QString::fromLatin1(id)))
    {
    }
    using DzClassFactory::createInstance;
    QObject *createInstance() const override { return new T; }
};
