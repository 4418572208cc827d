#pragma once

#include <QString>
#include <QStringList>

// Script text collected from several contributors (e.g. the state a pane
// wants restored), one line at a time.
class DzScript
{
public:
    DzScript() = default;

    void addLine(const QString &line) { m_lines.append(line); }
    void addLines(const QStringList &lines) { m_lines.append(lines); }
    // All lines joined with "\n".
    QString getCode() const { return m_lines.join(QLatin1Char('\n')); }
    const QStringList &getLines() const { return m_lines; }
    int getNumLines() const { return m_lines.size(); }
    bool isEmpty() const { return m_lines.isEmpty(); }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};
