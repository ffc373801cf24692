#pragma once
// What the fuzz targets share: a scratch folder in memory (tmpfs when there is one),
// whole-file writes into it, and a silent operator so that messages cost nothing.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/seams.h"

namespace fuzzsupport {

class SilentBoxes final : public core::MessageBoxes {
public:
    core::MsgAnswer show(const core::MessageRequest&) override { return core::MsgAnswer::No; }
};

// A fresh folder of its own for this process, under /dev/shm when it is there.
inline QString scratchFolder(const char* name) {
    static SilentBoxes boxes;
    core::installMessageBoxes(&boxes);
    const char* base = QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : std::getenv("TMPDIR");
    const QString dir = QStringLiteral("%1/zelvorin-fuzz-%2-%3")
                            .arg(QString::fromLocal8Bit(base ? base : "/tmp"), QLatin1String(name))
                            .arg(::getpid());
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

// Replaces the file's content by the bytes (or removes it when `present` is false).
inline void putFile(const QString& path, const uint8_t* data, size_t size, bool present = true) {
    const QByteArray native = QFile::encodeName(path);
    ::unlink(native.constData());
    if (!present) return;
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    for (size_t done = 0; done < size;) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w <= 0) std::abort();
        done += size_t(w);
    }
    ::close(fd);
}

}  // namespace fuzzsupport
