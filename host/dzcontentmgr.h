#pragma once

#include <QObject>
#include <QString>

// Where the host's content (figures, the stock block library) lives, and the
// resolution of content-relative paths.
//
// The content folder is, in this order of preference: a folder set with
// setContentDirectory (the studio's command-line option); the folder named by
// the environment variable TRELVO_CONTENT; the installed content folder next
// to the library (<prefix>/share/trelvo/content when dzcore is installed in
// <prefix>/lib); the source tree's content folder (running from a build).
class DzContentMgr : public QObject {
    Q_OBJECT
public:
    explicit DzContentMgr(QObject *parent = nullptr);

    // Absolute, without a trailing slash.
    QString getContentDirectory() const;
    // Sets the content folder. A path that is not an existing folder is
    // refused: false, and the folder in use stays.
    bool setContentDirectory(const QString &path);
    // Forgets a folder set with setContentDirectory, back to the default.
    void resetContentDirectory();

    // The absolute path of `relative` inside the content folder ("."/".."
    // resolved, a trailing slash allowed), or an empty string when no such
    // file or folder exists. An absolute path is returned cleaned when it
    // exists. An empty path gives an empty string.
    QString getAbsolutePath(const QString &relative) const;

    // The default before any setContentDirectory, as described above.
    static QString defaultContentDirectory();

signals:
    void contentDirectoryChanged(const QString &path);

private:
    QString m_directory; // empty: the default
};
