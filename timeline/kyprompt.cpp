#include "kyprompt.h"

#include "dzlog.h"

QStringList KyPromptHandler::openFileNames(const KySaveFileRequest &request)
{
    dzLog(request.caption + QLatin1String(": no file dialog without a user interface"));
    return QStringList();
}

void KyPromptHandler::status(const QString &text)
{
    dzLog(text);
}

namespace {

// Headless: log what would be shown and refuse, so nothing is changed on
// the strength of an answer nobody gave.
class LogPrompts : public KyPromptHandler
{
public:
    void information(const QString &caption, const QString &text, QObject *) override
    {
        dzLog(caption + QLatin1String(": ") + text);
    }
    bool question(const QString &caption, const QString &text, QObject *) override
    {
        dzLog(caption + QLatin1String(": ") + text + QLatin1String(" (answered No)"));
        return false;
    }
    QString saveFileName(const KySaveFileRequest &request) override
    {
        dzLog(request.caption + QLatin1String(": no file dialog without a user interface"));
        return QString();
    }
};

LogPrompts g_logPrompts;
KyPromptHandler *g_handler = &g_logPrompts;

} // namespace

void kyMessage(const QString &text, QObject *parent)
{
    g_handler->information(QString::fromLatin1(kyCaption()), text, parent);
}

bool kyQuestion(const QString &text, QObject *parent)
{
    return g_handler->question(QString::fromLatin1(kyCaption()), text, parent);
}

QString kySaveFileName(const KySaveFileRequest &request)
{
    return g_handler->saveFileName(request);
}

QStringList kyOpenFileNames(const KySaveFileRequest &request)
{
    return g_handler->openFileNames(request);
}

void kyStatus(const QString &text)
{
    g_handler->status(text);
}

KyPromptHandler *kySetPromptHandler(KyPromptHandler *handler)
{
    KyPromptHandler *previous = g_handler == &g_logPrompts ? nullptr : g_handler;
    g_handler = handler ? handler : &g_logPrompts;
    return previous;
}

KyPromptHandler *kyPromptHandler()
{
    return g_handler;
}

bool kyUsesBuiltInPrompts()
{
    return g_handler == &g_logPrompts;
}
