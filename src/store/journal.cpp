#include "store/journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <vector>

#include "core/checkpoint.h"
#include "core/errors.h"
#include "store/dbf_file.h"

namespace store {
namespace {

constexpr const char* kJournal = ".zelvorin.journal";
constexpr char kLength = 'L';
constexpr char kBytes = 'B';

uint32_t crc32(const char* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= uint8_t(p[i]);
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

void putLe(QByteArray& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(char(uint8_t(v >> (8 * i))));
}
uint64_t le(const char* p, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t(uint8_t(p[i])) << (8 * i);
    return v;
}

[[noreturn]] void fail(const QString& what, const QString& path) {
    throw core::DbError(
        QStringLiteral("%1 %2: %3.")
            .arg(what, QDir::toNativeSeparators(path), core::systemErrorText(errno)));
}

struct Entry {
    char kind = 0;
    QString name;
    int64_t at = 0;
    QByteArray data;
};

// The entries up to the first one that is torn or damaged.
std::vector<Entry> readEntries(const QByteArray& all) {
    std::vector<Entry> out;
    qsizetype pos = 0;
    while (all.size() - pos >= 8) {
        const uint32_t len = uint32_t(le(all.constData() + pos, 4));
        if (len < 15 || len > uint32_t(all.size() - pos - 8)) break;
        const char* p = all.constData() + pos + 8;
        if (uint32_t(le(all.constData() + pos + 4, 4)) != crc32(p, len)) break;
        Entry e;
        e.kind = p[0];
        const size_t nameLen = size_t(le(p + 1, 2));
        if (3 + nameLen + 12 > len) break;
        e.name = QString::fromUtf8(p + 3, qsizetype(nameLen));
        e.at = int64_t(le(p + 3 + nameLen, 8));
        const size_t dataLen = size_t(le(p + 11 + nameLen, 4));
        if (15 + nameLen + dataLen != len) break;
        e.data = QByteArray(p + 15 + nameLen, qsizetype(dataLen));
        out.push_back(std::move(e));
        pos += 8 + qsizetype(len);
    }
    return out;
}

}  // namespace

QString journalFileOf(const QString& folder) {
    return QDir(folder).filePath(QLatin1String(kJournal));
}

Journal::~Journal() {
    if (fd_ >= 0) ::close(fd_);
}

void Journal::add(char kind, const QString& name, int64_t at, const char* data, size_t len) {
    const QByteArray utf8 = name.toUtf8();
    QByteArray payload;
    payload.append(kind);
    putLe(payload, uint64_t(utf8.size()), 2);
    payload.append(utf8);
    putLe(payload, uint64_t(at), 8);
    putLe(payload, len, 4);
    payload.append(data, qsizetype(len));
    putLe(held_, uint64_t(payload.size()), 4);
    putLe(held_, crc32(payload.constData(), size_t(payload.size())), 4);
    held_.append(payload);
}

void Journal::addLength(const QString& name, int64_t length) {
    add(kLength, name, length, nullptr, 0);
}

void Journal::addBytes(const QString& name, int64_t offset, const char* data, size_t len) {
    add(kBytes, name, offset, data, len);
}

void Journal::write() {
    if (held_.isEmpty()) return;
    const QString path = journalFileOf(folder_);
    const bool created = fd_ < 0;
    if (created) {
        fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd_ < 0) fail(QStringLiteral("Не создаётся журнал изменений"), path);
    }
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0 || !transferBytes(true, fd_, held_.data(), size_t(held_.size()), end).isEmpty() || ::fdatasync(fd_) != 0)
        fail(QStringLiteral("Не записывается журнал изменений"), path);
    held_.clear();
    if (created) syncFolder(folder_);
    core::checkpoint("journal written");
}

void Journal::commit() {
    held_.clear();
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    const QString path = journalFileOf(folder_);
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        fail(QStringLiteral("Не удаляется журнал изменений"), path);
    syncFolder(folder_);
}

void recoverJournal(const QString& folder) {
    const QString path = journalFileOf(folder);
    QFile f(path);
    if (!f.exists()) return;
    if (!f.open(QIODevice::ReadOnly))
        throw core::DbError(QStringLiteral("Не читается журнал изменений %1: %2.")
                                .arg(QDir::toNativeSeparators(path), f.errorString()));
    const std::vector<Entry> entries = readEntries(f.readAll());
    f.close();
    // Backwards: the earliest entry of a place holds what it was before the unit.
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        const QString file = QDir(folder).filePath(e->name);
        const int fd = ::open(QFile::encodeName(file).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT) continue;  // a file that is gone has nothing to put back
            fail(QStringLiteral("Не восстанавливается файл таблицы"), file);
        }
        const bool ok = e->kind == kLength ? ::ftruncate(fd, off_t(e->at)) == 0
                                           : transferBytes(true, fd, const_cast<char*>(e->data.constData()), size_t(e->data.size()), e->at).isEmpty();
        const bool synced = ok && ::fdatasync(fd) == 0;
        const int err = errno;
        ::close(fd);
        errno = err;
        if (!synced) fail(QStringLiteral("Не восстанавливается файл таблицы"), file);
    }
    core::checkpoint("journal applied");
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        fail(QStringLiteral("Не удаляется журнал изменений"), path);
    syncFolder(folder);
}

}  // namespace store
