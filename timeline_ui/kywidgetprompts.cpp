#include "kywidgetprompts.h"

#include "kyprompt.h"

#include "dzlog.h"

#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
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

    QStringList openFileNames(const KySaveFileRequest &request) override
    {
        QFileDialog dialog(qobject_cast<QWidget *>(request.parent), request.caption,
                           request.startPath, request.filter);
        dialog.setObjectName(request.dialogName);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        if (dialog.exec() != QDialog::Accepted)
            return QStringList();
        return dialog.selectedFiles();
    }

    // The status bar of the application's main window; the log as well, so
    // that the note survives the next message.
    void status(const QString &text) override
    {
        dzLog(text);
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *window = qobject_cast<QMainWindow *>(top)) {
                window->statusBar()->showMessage(text, 10000);
                return;
            }
        }
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
