#include "store/dbf_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/errors.h"

namespace store {

namespace {

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
    return QString::fromLocal8Bit(std::strerror(errno));
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

const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

void setWriteFailureHook(WriteFailureHook hook) {
    writeHook() = std::move(hook);
}

// ---------------------------------------------------------------- field conversions

namespace dbf {

namespace {
inline void trimBlanks(const char*& p, size_t& n) {
    while (n > 0 && (*p == ' ' || *p == '\0')) {
        ++p;
        --n;
    }
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
}
}  // namespace

void trim(const char*& p, size_t& n) {
    trimBlanks(p, n);
}

NumberRead readNumber(const char* p, size_t n, int64_t& i, double& d, bool exponent) {
    trimBlanks(p, n);
    if (n == 0) return NumberRead::Null;
    const char* s = p;
    const char* end = p + n;
    bool neg = false;
    if (*s == '-' || *s == '+') {
        neg = *s == '-';
        ++s;
    }
    // Fast path: plain digits with an optional fraction, which is what every writer of
    // these files produces. Exact whenever the digits fit a double's mantissa. Leading
    // zeros and the zeros that pad a fraction ("12.500000000000000") carry no digits.
    uint64_t mant = 0;
    int digits = 0;
    int fracDigits = 0;
    const char* q = s;
    while (q < end && *q == '0') ++q;
    bool any = q > s;
    const char* intStart = q;
    while (q < end && unsigned(*q - '0') < 10) {
        mant = mant * 10 + unsigned(*q - '0');
        ++q;
    }
    digits = int(q - intStart);
    any = any || digits > 0;
    if (q < end && (*q == '.' || *q == ',')) {
        const char* fs = ++q;
        while (q < end && unsigned(*q - '0') < 10) ++q;
        if (q == end) {
            any = any || q > fs;
            const char* fe = end;
            while (fe > fs && fe[-1] == '0') --fe;
            for (const char* f = fs; f < fe; ++f) {
                ++fracDigits;
                if (digits == 0 && *f == '0') continue;
                mant = mant * 10 + unsigned(*f - '0');
                ++digits;
            }
        }
    }
    if (q == end && any && digits <= 19) {
        if (fracDigits == 0 || mant == 0) {
            if (mant == 0) {
                i = 0;
                d = 0.0;
                return NumberRead::Integer;
            }
            if (mant <= uint64_t(INT64_MAX)) {
                i = neg ? -int64_t(mant) : int64_t(mant);
                return NumberRead::Integer;
            }
        }
        if (mant <= (uint64_t(1) << 53) && fracDigits <= 22) {
            const double v = double(mant) / kPow10[fracDigits];
            d = neg ? -v : v;
            return NumberRead::Real;
        }
    }
    // General path: exponents, long mantissas, a decimal comma. Only a number is read
    // as one: digits with one optional point, then, where allowed, an exponent.
    const char* r = s;
    auto digitsAt = [&](const char*& at) {
        const char* from = at;
        while (at < end && unsigned(*at - '0') < 10) ++at;
        return at > from;
    };
    bool mantissa = digitsAt(r);
    if (r < end && (*r == '.' || *r == ',')) {
        ++r;
        mantissa = digitsAt(r) || mantissa;
    }
    if (!mantissa) return NumberRead::Null;
    if (r < end && (*r == 'e' || *r == 'E')) {
        if (!exponent) return NumberRead::Null;
        ++r;
        if (r < end && (*r == '+' || *r == '-')) ++r;
        if (!digitsAt(r)) return NumberRead::Null;
    }
    if (r != end) return NumberRead::Null;
    std::string buf(s, end);
    for (char& c : buf)
        if (c == ',') c = '.';
    double v = 0;
    auto [ptr, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), v);
    if (ec != std::errc() || ptr != buf.data() + buf.size() || !std::isfinite(v)) return NumberRead::Null;
    d = neg ? -v : v;
    return NumberRead::Real;
}

bool formatDouble(double v, int width, std::string& out) {
    if (!std::isfinite(v)) return false;
    if (v == 0.0) {
        out.assign(1, '0');
        return width >= 1;
    }
    char buf[400];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (r.ec == std::errc() && r.ptr - buf <= width) {
        out.assign(buf, r.ptr);
        return true;
    }
    // Too long: keep as many decimals as the width allows.
    const double whole = std::trunc(std::fabs(v));
    int intDigits = 1;
    for (double t = whole; t >= 10.0; t /= 10.0) ++intDigits;
    const int sign = v < 0 ? 1 : 0;
    for (int prec = width - sign - intDigits - 1; prec >= 0; --prec) {
        r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, prec);
        if (r.ec != std::errc()) continue;
        std::string s(buf, r.ptr);
        if (s.find('.') != std::string::npos) {
            while (!s.empty() && s.back() == '0') s.pop_back();
            if (!s.empty() && s.back() == '.') s.pop_back();
        }
        if (s == "-0") s = "0";
        if (int(s.size()) <= width) {
            out = s;
            return true;
        }
    }
    return false;
}

int64_t roundHalfEven(double v, bool* ok) {
    const double r = std::nearbyint(v);
    if (!std::isfinite(r) || r < -9.2e18 || r > 9.2e18) {
        *ok = false;
        return 0;
    }
    *ok = true;
    return int64_t(r);
}

bool readDate(const char* p, size_t n, std::string& out) {
    trim(p, n);
    if (n != 8) return false;
    int y = 0, m = 0, dd = 0;
    for (int k = 0; k < 8; ++k)
        if (p[k] < '0' || p[k] > '9') return false;
    y = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
    m = (p[4] - '0') * 10 + (p[5] - '0');
    dd = (p[6] - '0') * 10 + (p[7] - '0');
    if (!QDate::isValid(y, m, dd)) return false;
    out.assign(p, 4);
    out.push_back('-');
    out.append(p + 4, 2);
    out.push_back('-');
    out.append(p + 6, 2);
    return true;
}

}  // namespace dbf

// ---------------------------------------------------------------- opening

void DbfFile::fail(const QString& what) const {
    throw core::DbError(
        QStringLiteral("Файл таблицы %1 не читается: %2.").arg(QDir::toNativeSeparators(path_), what));
}

DbfFile::~DbfFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<DbfFile> DbfFile::open(const QString& path) {
    std::unique_ptr<DbfFile> f(new DbfFile);
    f->path_ = path;
    const QByteArray native = QFile::encodeName(path);
    f->fd_ = ::open(native.constData(), O_RDWR | O_CLOEXEC);
    f->writable_ = f->fd_ >= 0;
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
    f->headerLength_ = le16(head + 8);
    f->recordLength_ = le16(head + 10);
    f->languageDriver_ = head[29];
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
        auto badWidth = [&](const char* expected) {
            f->fail(QStringLiteral("поле %1 типа %2 шириной %3 байт, ожидалось %4")
                        .arg(fld.name, QString(QLatin1Char(fld.type)))
                        .arg(fld.length)
                        .arg(QLatin1String(expected)));
        };
        if (fld.length <= 0) f->fail(QStringLiteral("у поля %1 нет ширины").arg(fld.name));
        switch (fld.type) {
            case 'C':
                fld.kind = FieldKind::Text;
                break;
            case 'N':
                fld.kind = fld.decimals == 0 ? FieldKind::Number : FieldKind::Decimal;
                break;
            case 'F':
                fld.kind = FieldKind::Decimal;
                break;
            case 'D':
                if (fld.length != 8) badWidth("8");
                fld.kind = FieldKind::Date;
                break;
            case 'L':
                if (fld.length != 1) badWidth("1");
                fld.kind = FieldKind::Logical;
                break;
            case 'I':
                if (fld.length != 4) badWidth("4");
                fld.kind = FieldKind::BinInt;
                break;
            case 'Y':
                if (fld.length != 8) badWidth("8");
                fld.kind = FieldKind::Currency;
                break;
            case 'T':
                if (fld.length != 8) badWidth("8");
                fld.kind = FieldKind::DateTime;
                break;
            case 'B':
                if (fld.length == 8)
                    fld.kind = FieldKind::BinDouble;
                else if (fld.length == 10)
                    fld.kind = FieldKind::Memo;
                else
                    badWidth("8 or 10");
                break;
            case 'M':
            case 'G':
            case 'P':
                if (fld.length != 10 && fld.length != 4) badWidth("10 or 4");
                fld.kind = FieldKind::Memo;
                break;
            case '0':
                fld.kind = FieldKind::NullFlags;
                break;
            default:
                f->fail(QStringLiteral("у поля %1 неизвестный тип %2")
                            .arg(fld.name, fld.type > 32 && fld.type < 127
                                               ? QStringLiteral("'%1'").arg(QLatin1Char(fld.type))
                                               : QStringLiteral("0x%1").arg(uint(uint8_t(fld.type)), 2, 16,
                                                                            QLatin1Char('0'))));
        }
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
    const int64_t offset = int64_t(headerLength_) + int64_t(first) * recordLength_;
    size_t want = size_t(count) * size_t(recordLength_);
    size_t done = 0;
    while (done < want) {
        const ssize_t r = ::pread(fd_, buf + done, want - done, off_t(offset + int64_t(done)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) fail(r < 0 ? errnoText() : QStringLiteral("файл обрывается раньше срока"));
        done += size_t(r);
    }
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
    if (!writable_) cannot(QStringLiteral("он открыт только для чтения"));
    if (writeHook() && !writeHook()(path_, offset, len))
        cannot(QStringLiteral("имитированная ошибка ввода-вывода"));
    size_t done = 0;
    while (done < len) {
        const ssize_t r = ::pwrite(fd_, data + done, len - done, off_t(offset + int64_t(done)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) cannot(r < 0 ? errnoText() : QStringLiteral("ничего не записано"));
        done += size_t(r);
    }
}

void DbfFile::append(const char* records, uint32_t n) {
    if (n == 0) return;
    if (uint64_t(recordCount_) + n > UINT32_MAX)
        throw core::DbError(QStringLiteral("В файл таблицы %1 больше записей не поместить.").arg(path_));
    const size_t bytes = size_t(n) * size_t(recordLength_);
    std::string buf;
    buf.reserve(bytes + 1);
    buf.append(records, bytes);
    buf.push_back('\x1A');
    writeAt(int64_t(headerLength_) + int64_t(recordCount_) * recordLength_, buf.data(), buf.size());
    unsigned char head[7];
    putToday(head);
    putLe32(head + 3, recordCount_ + n);
    writeAt(1, reinterpret_cast<const char*>(head), sizeof head);
    recordCount_ += n;
}

void DbfFile::overwrite(uint32_t index, const char* record) {
    writeAt(int64_t(headerLength_) + int64_t(index) * recordLength_, record, size_t(recordLength_));
}

void DbfFile::setDeleted(uint32_t index, bool deleted) {
    const char flag = deleted ? '*' : ' ';
    writeAt(int64_t(headerLength_) + int64_t(index) * recordLength_, &flag, 1);
}

void DbfFile::setRecordCount(uint32_t count) {
    unsigned char c[4];
    putLe32(c, count);
    writeAt(4, reinterpret_cast<const char*>(c), sizeof c);
    recordCount_ = count;
}

void DbfFile::touch() {
    unsigned char date[3];
    putToday(date);
    writeAt(1, reinterpret_cast<const char*>(date), sizeof date);
}

void DbfFile::create(const QString& path, const std::vector<NewField>& fields, uint8_t languageDriver) {
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
    bool ok = !(writeHook() && !writeHook()(path, 0, header.size()));
    while (ok && done < header.size()) {
        const ssize_t r = ::write(fd, header.data() + done, header.size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            ok = false;
            break;
        }
        done += size_t(r);
    }
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
        return;
    }
    ::unlink(temp.constData());
}

}  // namespace store
