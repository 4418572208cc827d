#pragma once

// A named pipe for tests of readers that must refuse it. Should a reader
// open it and wait for a writer, a helper thread opens the writing end after
// a few seconds and closes it again, so the reader sees an empty file and
// the test fails instead of hanging.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class FifoGuard {
public:
    explicit FifoGuard(const QString &path, int seconds = 4)
        : m_path(QFile::encodeName(path))
    {
        ::unlink(m_path.constData());
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        m_thread = std::thread([this, seconds] {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            while (!m_stop && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // Succeeds only while a reader has the pipe open.
            while (!m_stop) {
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    ::close(fd);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~FifoGuard()
    {
        m_stop = true;
        m_thread.join();
        ::unlink(m_path.constData());
    }
    bool made() const { return m_made; }

private:
    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};
