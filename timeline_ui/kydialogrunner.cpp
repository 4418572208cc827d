#include "kydialogrunner.h"

#include <QDialog>

namespace {

KyDialogRunner &runner()
{
    static KyDialogRunner current;
    return current;
}

} // namespace

void kyRunDialog(QDialog &dialog)
{
    if (runner())
        runner()(dialog);
    else
        dialog.exec();
}

void kySetDialogRunner(KyDialogRunner r)
{
    runner() = std::move(r);
}
