#pragma once
// Message boxes and file dialogs for the timeline's prompts (kyprompt.h):
// information boxes and Yes/No questions captioned "Trelvo", and the save
// dialog with its caption, start path, filter and object name. The save
// dialog does not ask about overwriting: the callers ask "Save over
// existing?" themselves.

class KyPromptHandler;

// Installs the widget prompts unless another handler (a test's) is in use.
void kyInstallWidgetPrompts();
KyPromptHandler *kyWidgetPrompts();
