#include "studioprompt.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

StudioPrompt::Answer defaultMessage(
    QWidget *parent, StudioPrompt::Kind kind, const QString &title, const QString &text)
{
    switch (kind) {
    case StudioPrompt::Information:
        QMessageBox::information(parent, title, text);
        return StudioPrompt::Ok;
    case StudioPrompt::Warning:
        QMessageBox::warning(parent, title, text);
        return StudioPrompt::Ok;
    case StudioPrompt::Error:
        QMessageBox::critical(parent, title, text);
        return StudioPrompt::Ok;
    case StudioPrompt::Question:
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                == QMessageBox::Yes
            ? StudioPrompt::Yes
            : StudioPrompt::No;
    case StudioPrompt::UnsavedChanges: {
        const auto b = QMessageBox::warning(parent, title, text,
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        if (b == QMessageBox::Save)
            return StudioPrompt::Save;
        if (b == QMessageBox::Discard)
            return StudioPrompt::Discard;
        return StudioPrompt::Cancel;
    }
    }
    return StudioPrompt::Cancel;
}

QString defaultFile(QWidget *parent, StudioPrompt::FileMode mode, const QString &caption,
    const QString &directory, const QString &filter)
{
    if (mode == StudioPrompt::OpenFile)
        return QFileDialog::getOpenFileName(parent, caption, directory, filter);
    return QFileDialog::getSaveFileName(parent, caption, directory, filter);
}

StudioPrompt::MessageHandler &messageHandler()
{
    static StudioPrompt::MessageHandler handler = defaultMessage;
    return handler;
}

StudioPrompt::FileHandler &fileHandler()
{
    static StudioPrompt::FileHandler handler = defaultFile;
    return handler;
}

} // namespace

StudioPrompt::MessageHandler StudioPrompt::setMessageHandler(MessageHandler handler)
{
    MessageHandler previous = messageHandler();
    messageHandler() = handler ? std::move(handler) : MessageHandler(defaultMessage);
    return previous;
}

StudioPrompt::FileHandler StudioPrompt::setFileHandler(FileHandler handler)
{
    FileHandler previous = fileHandler();
    fileHandler() = handler ? std::move(handler) : FileHandler(defaultFile);
    return previous;
}

StudioPrompt::Answer StudioPrompt::ask(QWidget *parent, Kind kind, const QString &text)
{
    return messageHandler()(parent, kind, title(), text);
}

QString StudioPrompt::openFileName(
    QWidget *parent, const QString &caption, const QString &directory, const QString &filter)
{
    return fileHandler()(parent, OpenFile, caption, directory, filter);
}

QString StudioPrompt::saveFileName(
    QWidget *parent, const QString &caption, const QString &directory, const QString &filter)
{
    return fileHandler()(parent, SaveFile, caption, directory, filter);
}

QString StudioPrompt::title()
{
    return QStringLiteral("Trelvo Studio");
}
