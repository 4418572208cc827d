#include "kywidgetprompts.h"

#include "kyprompt.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QWidget>

namespace {

class WidgetPrompts : public KyPromptHandler
{
public:
    void information(const QString &caption, const QString &text, QObject *parent) override
    {
        QMessageBox::information(qobject_cast<QWidget *>(parent), caption, text);
    }

    bool question(const QString &caption, const QString &text, QObject *parent) override
    {
        return QMessageBox::question(qobject_cast<QWidget *>(parent), caption, text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    }

    QString saveFileName(const KySaveFileRequest &request) override
    {
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
