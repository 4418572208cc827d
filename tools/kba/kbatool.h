#pragma once
// trelvo-kba: the command-line tool for block files. The whole tool is this
// one function so that tests can run every command in-process.

#include <QStringList>
#include <QTextStream>

// Exit statuses.
constexpr int kKbaOk = 0;
constexpr int kKbaFailed = 1;    // a file is invalid, unreadable or not written
constexpr int kKbaBadUsage = 2;  // unknown command, wrong or malformed arguments

// Runs one command line (arguments without the program name), writing
// results to out and messages to err; returns the exit status.
int runKbaTool(const QStringList &args, QTextStream &out, QTextStream &err);

// The usage text printed for bad arguments.
QString kbaUsage();
