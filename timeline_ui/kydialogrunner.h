#pragma once
// Runs the timeline's modal dialogs (exec unless replaced). Tests install a
// runner that works the dialog's controls and returns, so no test blocks.

#include <functional>

class QDialog;

using KyDialogRunner = std::function<void(QDialog &)>;

void kyRunDialog(QDialog &dialog);
// Null restores exec.
void kySetDialogRunner(KyDialogRunner runner);
