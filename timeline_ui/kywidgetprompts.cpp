#include "kywidgetprompts.h"

#include "kyprompt.h"

#include "dzlog.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace {

// A host running without anyone at the screen (the studio's --screenshot)
// sets this application property: boxes then go to the log and questions
// get the safe answer, No.
bool unattended()
{
    return qApp && qApp->property("trelvoUnattended").toBool();
}

class WidgetPrompts : public KyPromptHandler
{
public:
    void information(const QString &caption, const QString &text, QObject *parent) override
    {
        if (unattended()) {
            dzWarning(QStringLiteral("%1: %2").arg(caption, text));
            return;
        }
        QMessageBox::information(qobject_cast<QWidget *>(parent), caption, text);
    }

    bool question(const QString &caption, const QString &text, QObject *parent) override
    {
        if (unattended()) {
            dzWarning(QStringLiteral("%1: %2 (answered No)").arg(caption, text));
            return false;
        }
        return QMessageBox::question(qobject_cast<QWidget *>(parent), caption, text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    }

    QString saveFileName(const KySaveFileRequest &request) override
    {
        if (unattended())
            return QString();
        QFileDialog dialog(qobject_cast<QWidget *>(request.parent), request.caption,
                           request.startPath, request.filter);
        dialog.setObjectName(request.dialogName);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }
};

WidgetPrompts g_widgetPrompts;

} // namespace

void kyInstallWidgetPrompts()
{
    if (kyUsesBuiltInPrompts())
        kySetPromptHandler(&g_widgetPrompts);
}

KyPromptHandler *kyWidgetPrompts()
{
    return &g_widgetPrompts;
}
