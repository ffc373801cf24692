#include "store/dbf_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/checkpoint.h"
#include "core/errors.h"
#include "store/journal.h"

namespace store {

namespace {

// How much a batched table holds back before it writes.
constexpr size_t kBatchBytes = size_t(4) << 20;

WriteFailureHook& writeHook() {
    static WriteFailureHook hook;
    return hook;
}

uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}
void putLe32(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
void putLe16(unsigned char* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void putToday(unsigned char* p) {
    const QDate d = QDate::currentDate();
    p[0] = uint8_t(std::clamp(d.year() - 1900, 0, 255));
    p[1] = uint8_t(d.month());
    p[2] = uint8_t(d.day());
}

QString errnoText() {
    return core::systemErrorText(errno);
}

// The dBASE III family and the later writers that keep its record layout, with or without
// memo (0x30-0x32 add a 263-byte backlink area, which the header length already covers).
// Version 7 files (0x04, 0x8C) have other field descriptors.
bool knownVersion(uint8_t v) {
    switch (v) {
        case 0x03:
        case 0x05:
        case 0x30:
        case 0x31:
        case 0x32:
        case 0x43:
        case 0x63:
        case 0x83:
        case 0x8B:
        case 0x8E:
        case 0xB3:
        case 0xCB:
        case 0xE5:
        case 0xF5:
        case 0xFB:
            return true;
        default:
            return false;
    }
}

}  // namespace

QString transferBytes(bool write, int fd, char* buf, size_t len, int64_t offset) {
    for (size_t done = 0; done < len;) {
        const off_t at = off_t(offset + int64_t(done));
        const ssize_t r =
            write ? ::pwrite(fd, buf + done, len - done, at) : ::pread(fd, buf + done, len - done, at);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errnoText();
        if (r == 0)
            return write ? QStringLiteral("ничего не записано")
                         : QStringLiteral("файл обрывается раньше срока");
        done += size_t(r);
    }
    return QString();
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const QString why = errnoText();
        if (fd >= 0) ::close(fd);
        throw core::DbError(
            QStringLiteral("Папка %1 не записывается на диск: %2.").arg(QDir::toNativeSeparators(folder), why));
    }
    ::close(fd);
}

void setWriteFailureHook(WriteFailureHook hook) {
    writeHook() = std::move(hook);
}

// ---------------------------------------------------------------- opening

void DbfFile::fail(const QString& what) const {
    throw core::DbError(
        QStringLiteral("Файл таблицы %1 не читается: %2.").arg(QDir::toNativeSeparators(path_), what));
}

DbfFile::~DbfFile() {
    try {
        writePending();
    } catch (...) {
        // A batched load that was not flushed keeps what reached the file: readable, shorter.
    }
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<DbfFile> DbfFile::open(const QString& path) {
    std::unique_ptr<DbfFile> f(new DbfFile);
    f->path_ = path;
    const QByteArray native = QFile::encodeName(path);
    f->fd_ = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    f->writable_ = f->fd_ >= 0;
    if (!f->writable_)
        f->readOnlyReason_ = errno == EROFS ? errnoText()
                                            : QStringLiteral("файл открыт только для чтения (%1)").arg(errnoText());
    if (f->fd_ < 0) f->fd_ = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (f->fd_ < 0) f->fail(errnoText());
    struct stat st {};
    if (::fstat(f->fd_, &st) != 0) f->fail(errnoText());
    if (!S_ISREG(st.st_mode)) f->fail(QStringLiteral("это не обычный файл"));
    const int64_t fileSize = st.st_size;
    if (fileSize < 32) f->fail(QStringLiteral("длина файла %1 байт, меньше заголовка таблицы").arg(fileSize));

    unsigned char head[32];
    if (::pread(f->fd_, head, 32, 0) != 32) f->fail(QStringLiteral("заголовок не читается"));
    f->version_ = head[0];
    if (!knownVersion(f->version_))
        f->fail(QStringLiteral("неизвестный байт версии 0x%1").arg(f->version_, 2, 16, QLatin1Char('0')));
    f->recordCount_ = le32(head + 4);
    f->written_ = f->recordCount_;
    f->headerLength_ = le16(head + 8);
    f->recordLength_ = le16(head + 10);
    f->languageDriver_ = head[29];
    f->flags_ = head[28];
    if (f->headerLength_ < 32 + 32 + 1)
        f->fail(QStringLiteral("неверная длина заголовка %1").arg(f->headerLength_));
    if (f->headerLength_ > fileSize)
        f->fail(QStringLiteral("неверная длина заголовка %1: длина файла всего %2 байт")
                    .arg(f->headerLength_)
                    .arg(fileSize));

    // The code page first: field names may use it.
    QString codec = codecForLanguageDriver(f->languageDriver_);
    if (codec.isEmpty() && f->languageDriver_ == 0) {
        const QFileInfo fi(path);
        const QDir dir = fi.absoluteDir();
        const QStringList cpgs = dir.entryList({fi.completeBaseName() + QStringLiteral(".cpg")},
                                               QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
        for (const QString& name : cpgs) {
            if (name.compare(fi.completeBaseName() + QStringLiteral(".cpg"), Qt::CaseInsensitive) != 0)
                continue;
            QFile cpg(dir.filePath(name));
            if (cpg.open(QIODevice::ReadOnly)) codec = codecForCpg(cpg.read(256));
            break;
        }
    }
    if (codec.isEmpty() || !f->codePage_.load(codec)) f->codePage_.load(QString::fromLatin1(kDefaultCodec));

    std::vector<unsigned char> header(size_t(f->headerLength_));
    if (::pread(f->fd_, header.data(), header.size(), 0) != ssize_t(header.size()))
        f->fail(QStringLiteral("заголовок не читается"));

    int pos = 32;
    bool terminated = false;
    std::vector<int> rawLengths;
    std::vector<int> extLengths;
    while (pos < f->headerLength_) {
        if (header[size_t(pos)] == 0x0D) {
            terminated = true;
            break;
        }
        if (pos + 32 > f->headerLength_) break;
        const unsigned char* d = header.data() + pos;
        int nameLen = 0;
        while (nameLen < 11 && d[nameLen] != 0) ++nameLen;
        std::string name;
        f->codePage_.decode(reinterpret_cast<const char*>(d), size_t(nameLen), name);
        DbfField fld;
        fld.name = QString::fromStdString(name).trimmed();
        fld.type = char(std::toupper(d[11]));
        fld.length = d[16];
        fld.decimals = d[17];
        rawLengths.push_back(d[16]);
        extLengths.push_back(fld.type == 'C' ? d[16] + 256 * d[17] : d[16]);
        if (fld.name.isEmpty()) f->fail(QStringLiteral("у поля %1 нет имени").arg(f->fields_.size() + 1));
        f->fields_.push_back(fld);
        pos += 32;
    }
    if (!terminated) f->fail(QStringLiteral("описания полей не завершены байтом 0x0D"));
    if (f->fields_.empty()) f->fail(QStringLiteral("в таблице нет полей"));

    // Some writers keep long text fields' high length byte in the decimals byte.
    int64_t sum = 1;
    for (int l : rawLengths) sum += l;
    bool extended = false;
    if (sum != f->recordLength_) {
        int64_t ext = 1;
        for (int l : extLengths) ext += l;
        if (ext == f->recordLength_ && ext != sum)
            extended = true;
        else
            f->fail(QStringLiteral("длина записи %1 не совпадает с полями (%2 байт)")
                        .arg(f->recordLength_)
                        .arg(sum));
    }

    QSet<QString> names;
    int offset = 1;
    for (size_t k = 0; k < f->fields_.size(); ++k) {
        DbfField& fld = f->fields_[k];
        if (extended && fld.type == 'C') {
            fld.length = extLengths[k];
            fld.decimals = 0;
        }
        fld.offset = offset;
        offset += fld.length;
        const QString upper = fld.name.toUpper();
        if (names.contains(upper)) f->fail(QStringLiteral("имя поля %1 встречается дважды").arg(fld.name));
        names.insert(upper);
        if (fld.length <= 0) f->fail(QStringLiteral("у поля %1 нет ширины").arg(fld.name));
        // Each field type: its kind, and the widths it may have (none listed: any).
        static const struct {
            char type;
            FieldKind kind;
            std::initializer_list<int> widths;
        } kTypes[] = {
            {'C', FieldKind::Text, {}},           {'N', FieldKind::Number, {}},
            {'F', FieldKind::Decimal, {}},        {'D', FieldKind::Date, {8}},
            {'L', FieldKind::Logical, {1}},       {'I', FieldKind::BinInt, {4}},
            {'Y', FieldKind::Currency, {8}},      {'T', FieldKind::DateTime, {8}},
            {'B', FieldKind::BinDouble, {8, 10}}, {'M', FieldKind::Memo, {10, 4}},
            {'G', FieldKind::Memo, {10, 4}},      {'P', FieldKind::Memo, {10, 4}},
            {'0', FieldKind::NullFlags, {}},
        };
        const auto rule = std::find_if(std::begin(kTypes), std::end(kTypes),
                                       [&](const auto& t) { return t.type == fld.type; });
        if (rule == std::end(kTypes))
            f->fail(QStringLiteral("у поля %1 неизвестный тип %2")
                        .arg(fld.name, fld.type > 32 && fld.type < 127
                                           ? QStringLiteral("'%1'").arg(QLatin1Char(fld.type))
                                           : QStringLiteral("0x%1").arg(uint(uint8_t(fld.type)), 2, 16,
                                                                        QLatin1Char('0'))));
        if (rule->widths.size() != 0 &&
            std::find(rule->widths.begin(), rule->widths.end(), fld.length) == rule->widths.end()) {
            QStringList widths;
            for (int w : rule->widths) widths << QString::number(w);
            f->fail(QStringLiteral("поле %1 типа %2 шириной %3 байт, ожидалось %4")
                        .arg(fld.name, QString(QLatin1Char(fld.type)))
                        .arg(fld.length)
                        .arg(widths.join(QStringLiteral(" или "))));
        }
        fld.kind = rule->kind;
        if (fld.type == 'N' && fld.decimals != 0) fld.kind = FieldKind::Decimal;
        if (fld.type == 'B' && fld.length == 10) fld.kind = FieldKind::Memo;
    }

    const int64_t needed = int64_t(f->headerLength_) + int64_t(f->recordCount_) * f->recordLength_;
    if (needed > fileSize) {
        const int64_t held = (fileSize - f->headerLength_) / f->recordLength_;
        f->fail(QStringLiteral("в заголовке %1 записей, а в файле только %2").arg(f->recordCount_).arg(held));
    }
    return f;
}

// ---------------------------------------------------------------- reading

void DbfFile::read(uint32_t first, uint32_t count, char* buf) const {
    if (count == 0) return;
    if (uint64_t(first) + count > written_) {
        // The tail waits in memory.
        const uint32_t fromFile = first < written_ ? written_ - first : 0;
        read(first, fromFile, buf);
        const size_t len = size_t(recordLength_);
        const size_t start = size_t(first + fromFile - written_) * len;
        std::memcpy(buf + size_t(fromFile) * len, pending_.data() + start, size_t(count - fromFile) * len);
        return;
    }
    const int64_t offset = int64_t(headerLength_) + int64_t(first) * recordLength_;
    const QString why = transferBytes(false, fd_, buf, size_t(count) * size_t(recordLength_), offset);
    if (!why.isEmpty()) fail(why);
}

std::string DbfFile::blankRecord() const {
    std::string rec(size_t(recordLength_), ' ');
    for (const DbfField& f : fields_) {
        switch (f.kind) {
            case FieldKind::BinInt:
            case FieldKind::Currency:
            case FieldKind::BinDouble:
            case FieldKind::DateTime:
            case FieldKind::NullFlags:
                std::memset(rec.data() + f.offset, 0, size_t(f.length));
                break;
            default:
                break;
        }
    }
    return rec;
}

// ---------------------------------------------------------------- writing

void DbfFile::writeAt(int64_t offset, const char* data, size_t len) {
    auto cannot = [&](const QString& why) {
        throw core::DbError(
            QStringLiteral("Файл таблицы %1 не записывается: %2.").arg(QDir::toNativeSeparators(path_), why));
    };
    if (!writable_) cannot(readOnlyReason_);
    errno = 0;
    if (writeHook() && !writeHook()(path_, offset, len)) cannot(core::systemErrorText(errno ? errno : EIO));
    if (journal_) {
        // A write into an original record saves that record first; any first write
        // saves the file's length and header.
        const int64_t row = (offset - headerLength_) / recordLength_;
        if (offset >= headerLength_ && row < int64_t(journaled_ ? unitCount_ : written_) &&
            !(journaled_ && saved_[size_t(row)]))
            protect({uint32_t(row)});
        else if (!journaled_)
            protect({});
    }
    unsynced_ = true;
    if (flags_ & 0x01) {
        // The peer's index would miss this change: tell it to rebuild or ignore its index.
        char cleared = char(flags_ & ~0x01);
        const QString why = transferBytes(true, fd_, &cleared, 1, 28);
        if (!why.isEmpty()) cannot(why);
        flags_ = uint8_t(cleared);
    }
    const QString why = transferBytes(true, fd_, const_cast<char*>(data), len, offset);
    if (!why.isEmpty()) cannot(why);
    core::checkpoint("table file written");
}

void DbfFile::append(const char* records, uint32_t n) {
    if (n == 0) return;
    if (uint64_t(recordCount_) + n > UINT32_MAX)
        throw core::DbError(QStringLiteral("В файл таблицы %1 больше записей не поместить.").arg(path_));
    if (batched_) {
        pending_.append(records, size_t(n) * size_t(recordLength_));
        recordCount_ += n;
        if (pending_.size() >= kBatchBytes) writePending();
        return;
    }
    writeRecords(records, n);
}

void DbfFile::writeRecords(const char* records, uint32_t n) {
    const size_t bytes = size_t(n) * size_t(recordLength_);
    std::string buf;
    buf.reserve(bytes + 1);
    buf.append(records, bytes);
    buf.push_back('\x1A');
    const int64_t end = int64_t(headerLength_) + int64_t(written_) * recordLength_;
    // A write that fails half-way (a full disk) puts the end mark back where the counted
    // records end and the file's length: no reader may find part of a record there. What
    // lay past the mark is not read, and stays as the write left it.
    struct stat st {};
    const bool sized = ::fstat(fd_, &st) == 0;
    try {
        writeAt(end, buf.data(), buf.size());
        // A power cut must not find a count that covers records still in the cache.
        if (!batched_) syncNow();
    } catch (...) {
        char mark = '\x1A';
        (void)transferBytes(true, fd_, &mark, 1, end);
        if (sized && ::ftruncate(fd_, st.st_size) != 0) {
            // The length stays longer; past the count and the end mark nothing is read.
        }
        throw;
    }
    unsigned char head[7];
    putToday(head);
    putLe32(head + 3, written_ + n);
    writeAt(1, reinterpret_cast<const char*>(head), sizeof head);
    written_ += n;
    recordCount_ = std::max(recordCount_, written_);
}

void DbfFile::setBatched(bool on) {
    if (!on) writePending();
    batched_ = on;
}

void DbfFile::writePending() {
    if (pending_.empty()) return;
    writeRecords(pending_.data(), uint32_t(pending_.size() / size_t(recordLength_)));
    pending_.clear();
}

void DbfFile::flush() {
    writePending();
    if (writable_) syncNow();
}

void DbfFile::sync() {
    if (unsynced_ && !batched_) syncNow();
}

void DbfFile::syncNow() {
    if (fd_ >= 0 && ::fdatasync(fd_) != 0)
        throw core::DbError(QStringLiteral("Файл таблицы %1 не записывается на диск: %2.")
                                .arg(QDir::toNativeSeparators(path_), errnoText()));
    unsynced_ = false;
}

void DbfFile::overwrite(uint32_t index, const char* record) {
    if (index >= written_) {
        std::memcpy(pending_.data() + size_t(index - written_) * size_t(recordLength_), record,
                    size_t(recordLength_));
        return;
    }
    writeAt(int64_t(headerLength_) + int64_t(index) * recordLength_, record, size_t(recordLength_));
}

void DbfFile::setDeleted(uint32_t index, bool deleted) {
    const char flag = deleted ? '*' : ' ';
    if (index >= written_) {
        pending_[size_t(index - written_) * size_t(recordLength_)] = flag;
        return;
    }
    writeAt(int64_t(headerLength_) + int64_t(index) * recordLength_, &flag, 1);
}

void DbfFile::setRecordCount(uint32_t count) {
    if (count >= written_) {
        pending_.resize(size_t(count - written_) * size_t(recordLength_));
        recordCount_ = count;
        return;
    }
    writePending();
    unsigned char c[4];
    putLe32(c, count);
    writeAt(4, reinterpret_cast<const char*>(c), sizeof c);
    recordCount_ = count;
    written_ = count;
}

void DbfFile::touch() {
    if (batched_) return;  // the next batch writes the date with the count
    unsigned char date[3];
    putToday(date);
    writeAt(1, reinterpret_cast<const char*>(date), sizeof date);
}

void DbfFile::create(const QString& path, const std::vector<NewField>& fields, uint8_t languageDriver,
                     bool durable) {
    auto cannot = [&](const QString& why) {
        throw core::DbError(
            QStringLiteral("Файл таблицы %1 не создаётся: %2.").arg(QDir::toNativeSeparators(path), why));
    };
    if (fields.empty() || fields.size() > 255)
        cannot(QStringLiteral("в таблице должно быть от 1 до 255 полей"));
    const int headerLength = 32 + 32 * int(fields.size()) + 1;
    int recordLength = 1;
    std::string header(size_t(headerLength), '\0');
    auto* h = reinterpret_cast<unsigned char*>(header.data());
    // Version 0x03 (dBASE III+/IV without memo): the one every reader accepts, and what
    // dBASE IV itself writes for a table that has no memo file.
    h[0] = 0x03;
    putToday(h + 1);
    putLe32(h + 4, 0);
    putLe16(h + 8, uint16_t(headerLength));
    h[29] = languageDriver;
    for (size_t k = 0; k < fields.size(); ++k) {
        const NewField& f = fields[k];
        const QByteArray name = f.name.toLatin1();
        if (name.isEmpty() || name.size() > 10)
            cannot(QStringLiteral("имя поля %1 — не от 1 до 10 знаков").arg(f.name));
        unsigned char* d = h + 32 + 32 * k;
        std::memcpy(d, name.constData(), size_t(name.size()));
        d[11] = uint8_t(f.type);
        if (f.length < 1 || f.length > 254)
            cannot(
                QStringLiteral("поле %1 шириной %2 байт (допустимо от 1 до 254)").arg(f.name).arg(f.length));
        d[16] = uint8_t(f.length);
        d[17] = uint8_t(f.decimals);
        recordLength += f.length;
    }
    if (recordLength > 65535) cannot(QStringLiteral("запись длиннее 65535 байт"));
    putLe16(h + 10, uint16_t(recordLength));
    h[headerLength - 1] = 0x0D;
    header.push_back('\x1A');

    // Write a temporary file completely, then link it under its name: the table appears
    // whole or not at all, and an existing file is never replaced.
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temp = target + ".tmp-" + QByteArray::number(qint64(::getpid()));
    ::unlink(temp.constData());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) cannot(errnoText());
    size_t done = 0;
    errno = 0;
    bool ok = !(writeHook() && !writeHook()(path, 0, header.size()));
    if (!ok && errno == 0) errno = EIO;
    while (ok && done < header.size()) {
        const ssize_t r = ::write(fd, header.data() + done, header.size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ok = false;
            break;
        }
        done += size_t(r);
    }
    // A new table is durable before its name appears, unless a bulk build syncs it later.
    if (ok && durable && ::fdatasync(fd) != 0) ok = false;
    const QString writeError = errnoText();
    ::close(fd);
    if (!ok) {
        ::unlink(temp.constData());
        cannot(writeError);
    }
    if (::link(temp.constData(), target.constData()) != 0) {
        const int err = errno;
        if (err == EEXIST) {
            ::unlink(temp.constData());
            cannot(QStringLiteral("файл уже есть"));
        }
        // File systems without hard links: check, then rename.
        struct stat st {};
        if (::stat(target.constData(), &st) == 0) {
            ::unlink(temp.constData());
            cannot(QStringLiteral("файл уже есть"));
        }
        if (::rename(temp.constData(), target.constData()) != 0) {
            const QString why = errnoText();
            ::unlink(temp.constData());
            cannot(why);
        }
    } else {
        ::unlink(temp.constData());
    }
    if (durable) syncFolder(QFileInfo(path).absolutePath());
}

}  // namespace store
