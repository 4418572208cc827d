#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every modal question, message and file dialog of the studio goes through
// here, so that tests (and --screenshot runs) can answer them without a
// blocking dialog. The default handlers show QMessageBox / QFileDialog.
class StudioPrompt {
public:
    enum Kind {
        Information, // Ok
        Warning, // Ok
        Error, // Ok
        Question, // Yes / No (No is the safe answer)
        UnsavedChanges, // Save / Discard / Cancel
    };
    enum Answer { Ok, Yes, No, Save, Discard, Cancel };

    using MessageHandler
        = std::function<Answer(QWidget *parent, Kind kind, const QString &title, const QString &text)>;

    enum FileMode { OpenFile, SaveFile };
    // Returns the chosen path, or an empty string when the user cancelled.
    using FileHandler = std::function<QString(QWidget *parent, FileMode mode, const QString &caption,
        const QString &directory, const QString &filter)>;

    // Replace the handlers; an empty function restores the default. Return
    // the handler that was installed before.
    static MessageHandler setMessageHandler(MessageHandler handler);
    static FileHandler setFileHandler(FileHandler handler);

    static Answer ask(QWidget *parent, Kind kind, const QString &text);
    static void information(QWidget *parent, const QString &text) { ask(parent, Information, text); }
    static void warning(QWidget *parent, const QString &text) { ask(parent, Warning, text); }
    static void error(QWidget *parent, const QString &text) { ask(parent, Error, text); }
    // True only for an explicit Yes.
    static bool question(QWidget *parent, const QString &text) { return ask(parent, Question, text) == Yes; }

    static QString openFileName(
        QWidget *parent, const QString &caption, const QString &directory, const QString &filter);
    static QString saveFileName(
        QWidget *parent, const QString &caption, const QString &directory, const QString &filter);

    // The title of every studio message box.
    static QString title();
};
