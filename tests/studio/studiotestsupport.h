#pragma once

// Shared helpers of the studio tests: a host application per test and a
// stand-in for the user who answers the studio's dialogs.

#include "dzapp.h"
#include "dzfigureloader.h"
#include "dzfloatproperty.h"
#include "dzmorph.h"
#include "dzobject.h"
#include "dzscene.h"
#include "dzskeleton.h"
#include "dzundostack.h"
#include "studioprompt.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QList>
#include <QString>
#include <QStringList>

// Records every message the studio shows and answers from a script, then
// Cancel. File dialogs answer `nextFile`.
class PromptRecorder {
public:
    struct Shown {
        StudioPrompt::Kind kind;
        QString text;
    };

    PromptRecorder()
    {
        m_oldMessage = StudioPrompt::setMessageHandler(
            [this](QWidget *, StudioPrompt::Kind kind, const QString &, const QString &text) {
                shown.append({ kind, text });
                return answers.isEmpty() ? StudioPrompt::Cancel : answers.takeFirst();
            });
        m_oldFile = StudioPrompt::setFileHandler([this](QWidget *, StudioPrompt::FileMode, const QString &,
                                                     const QString &, const QString &) { return nextFile; });
    }
    ~PromptRecorder()
    {
        StudioPrompt::setMessageHandler(m_oldMessage);
        StudioPrompt::setFileHandler(m_oldFile);
    }

    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }

    QList<Shown> shown;
    QList<StudioPrompt::Answer> answers;
    QString nextFile;

private:
    StudioPrompt::MessageHandler m_oldMessage;
    StudioPrompt::FileHandler m_oldFile;
};

// A host application (and with it a fresh scene) for one test.
struct HostFixture {
    HostFixture() { DzUndoStack::instance()->clear(); }
    ~HostFixture() { DzUndoStack::instance()->clear(); }

    DzApp app;
};

// The value channel of the standard figure's "Smile" morph.
inline DzFloatProperty *smileOf(DzSkeleton *figure)
{
    return qobject_cast<DzMorph *>(figure->getObject()->findModifier("Smile"))->getValueChannel();
}

// A host with the standard figure in its scene.
class FigureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        figure = DzFigureLoader::loadStandardFigure(TRELVO_CONTENT_DIR, &error);
        ASSERT_NE(figure, nullptr) << error.toStdString();
        ASSERT_TRUE(dzScene->addNode(figure));
    }
    DzFloatProperty *smile() const { return smileOf(figure); }

    HostFixture host;
    DzSkeleton *figure = nullptr;
};
