#pragma once
// Messages, Yes/No questions and the save-file dialog of the timeline, all
// captioned "Trelvo" (the file dialog has its own caption). Everything that
// talks to the user goes through the one handler installed here, so that
// tests answer the questions and no test ever blocks on a modal box.
//
// Without a handler of its own (headless tools) the built-in one writes the
// text to the host log, answers every question with No and cancels every
// file dialog: a refusal, which leaves everything unchanged. The widget
// library installs message boxes and file dialogs (kyInstallWidgetPrompts in
// timeline_ui) when it is used.

#include <QString>
#include <QStringList>

class QObject;

struct KySaveFileRequest {
    QString caption;    // e.g. "Choose save file"
    QString startPath;  // folder + "/unnamed"
    QString filter;     // "kinBlocks (*.kba)"
    QString dialogName; // object name of the dialog
    QObject *parent = nullptr;
};

class KyPromptHandler
{
public:
    virtual ~KyPromptHandler() = default;
    // An information box.
    virtual void information(const QString &caption, const QString &text, QObject *parent) = 0;
    // A Yes/No question; true only for Yes.
    virtual bool question(const QString &caption, const QString &text, QObject *parent) = 0;
    // The chosen file name; a null string when cancelled.
    virtual QString saveFileName(const KySaveFileRequest &request) = 0;
    // Files chosen to open (same request fields); empty when cancelled.
    virtual QStringList openFileNames(const KySaveFileRequest &request);
    // A short note on what an edit did, for the status bar (logged here).
    virtual void status(const QString &text);
};

// The caption of every message and question.
inline const char *kyCaption()
{
    return "Trelvo";
}

void kyMessage(const QString &text, QObject *parent = nullptr);
bool kyQuestion(const QString &text, QObject *parent = nullptr);
QString kySaveFileName(const KySaveFileRequest &request);
QStringList kyOpenFileNames(const KySaveFileRequest &request);
void kyStatus(const QString &text);

// Installs a handler (not owned; null restores the built-in one) and returns
// the previous one.
KyPromptHandler *kySetPromptHandler(KyPromptHandler *handler);
KyPromptHandler *kyPromptHandler();
// Whether the built-in (headless) handler is in use.
bool kyUsesBuiltInPrompts();
