#pragma once

#include <QString>
#include <QStringList>

// The host log. Lines go to Qt's message handler (qInfo for dzLog, qWarning
// for dzWarning) and are also kept in memory, the newest last, up to
// dzLogCapacity() lines, so that tests and the studio can read them back.
// Safe to call before a QCoreApplication exists; GUI thread only.

void dzLog(const QString &message);
void dzWarning(const QString &message);

// The kept lines, oldest first. Warnings are prefixed with "WARNING: ".
QStringList dzLogLines();
// The most recent line, or an empty string.
QString dzLastLogLine();
// True when any kept line contains `text`.
bool dzLogContains(const QString &text);
void dzClearLog();
int dzLogCapacity();
