#include "dzlog.h"

#include <QDebug>

#include <deque>

namespace {

constexpr int kCapacity = 2000;

std::deque<QString> &lines()
{
    static std::deque<QString> kept;
    return kept;
}

void keep(const QString &line)
{
    auto &kept = lines();
    kept.push_back(line);
    while (kept.size() > static_cast<size_t>(kCapacity))
        kept.pop_front();
}

} // namespace

void dzLog(const QString &message)
{
    keep(message);
    qInfo().noquote() << message;
}

void dzWarning(const QString &message)
{
    keep(QStringLiteral("WARNING: ") + message);
    qWarning().noquote() << message;
}

QStringList dzLogLines()
{
    QStringList out;
    for (const QString &line : lines())
        out.append(line);
    return out;
}

QString dzLastLogLine()
{
    return lines().empty() ? QString() : lines().back();
}

bool dzLogContains(const QString &text)
{
    for (const QString &line : lines())
        if (line.contains(text))
            return true;
    return false;
}

void dzClearLog()
{
    lines().clear();
}

int dzLogCapacity()
{
    return kCapacity;
}
