#include "store/dbf_codepage.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>
#include <initializer_list>
#include <map>
#include <set>

namespace store {

namespace {

void appendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Reads one code point of UTF-8; malformed input yields U+FFFD so that it cannot encode.
char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end) {
    const unsigned char b = *p++;
    if (b < 0x80) return b;
    int extra = 0;
    char32_t c = 0;
    if ((b & 0xE0) == 0xC0) {
        extra = 1;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3;
        c = b & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int i = 0; i < extra; ++i) {
        if (p == end || (*p & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (*p++ & 0x3F);
    }
    return c;
}

QString describeChar(char32_t c) {
    return QStringLiteral("'%1' (U+%2)")
        .arg(QString::fromUcs4(&c, 1),
             QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

}  // namespace

std::shared_ptr<const CodePage::Tables> CodePage::tablesFor(const QByteArray& codec) {
    static QHash<QByteArray, std::shared_ptr<const Tables>> cache;
    if (auto hit = cache.value(codec)) return hit;
    auto t = std::make_shared<Tables>();
    // A single-byte page gives one character for nearly every byte; multi-byte pages and
    // UTF-8 leave their lead bytes undecodable on their own.
    int undecodable = 0;
    for (int b = 0; b < 256; ++b) {
        QStringDecoder dec(codec.constData(), QStringDecoder::Flag::Stateless);
        const char byte = char(b);
        const QString s = dec.decode(QByteArrayView(&byte, 1));
        const std::u32string u = s.toStdU32String();
        if (u.size() != 1 || u[0] == 0xFFFD) {
            if (++undecodable > 32) {
                t->singleByte = false;
                break;
            }
        }
        appendUtf8(u.size() == 1 ? u[0] : char32_t(0xFFFD), t->toUtf8[b]);
        if (u.size() == 1 && u[0] != 0xFFFD) t->fromUnicode.emplace(u[0], uint8_t(b));
    }
    if (!t->singleByte) t->fromUnicode.clear();
    for (int b = 0; b < 256; ++b) {
        t->utf8Length[size_t(b)] = uint8_t(t->toUtf8[size_t(b)].size());
        std::memcpy(t->utf8Bytes[size_t(b)].data(), t->toUtf8[size_t(b)].data(), t->toUtf8[size_t(b)].size());
    }
    cache.insert(codec, t);
    return t;
}

bool CodePage::load(const QString& codecName) {
    const QByteArray latin = codecName.toLatin1();
    if (!QStringDecoder(latin.constData()).isValid()) return false;
    name_ = codecName;
    latinName_ = latin;
    tables_ = tablesFor(latin);
    return true;
}

void CodePage::decode(const char* bytes, size_t len, std::string& out) const {
    if (tables_->singleByte) {
        const size_t start = out.size();
        out.resize(start + 4 * len);
        char* w = out.data() + start;
        const auto& lens = tables_->utf8Length;
        const auto& utf8 = tables_->utf8Bytes;
        for (size_t i = 0; i < len; ++i) {
            const unsigned char b = static_cast<unsigned char>(bytes[i]);
            std::memcpy(w, utf8[b].data(), 4);
            w += lens[b];
        }
        out.resize(size_t(w - out.data()));
        return;
    }
    QStringDecoder dec(latinName_.constData(), QStringDecoder::Flag::Stateless);
    const QString s = dec.decode(QByteArrayView(bytes, qsizetype(len)));
    const QByteArray u = s.toUtf8();
    out.append(u.constData(), size_t(u.size()));
}

bool CodePage::encode(const char* utf8, size_t len, std::string& out, QString* badChar) const {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    const auto* end = p + len;
    if (tables_->singleByte) {
        while (p < end) {
            const char32_t c = nextCodePoint(p, end);
            if (c < 0x80 && tables_->toUtf8[c].size() == 1 && tables_->toUtf8[c][0] == char(c)) {
                out.push_back(char(c));
                continue;
            }
            auto it = tables_->fromUnicode.find(c);
            if (it == tables_->fromUnicode.end()) {
                if (badChar) *badChar = describeChar(c);
                return false;
            }
            out.push_back(char(it->second));
        }
        return true;
    }
    // Multi-byte pages: go through the codec, one character at a time on failure so
    // that the message can name the character.
    const QString text = QString::fromUtf8(utf8, qsizetype(len));
    QStringEncoder enc(latinName_.constData(), QStringEncoder::Flag::Stateless);
    const QByteArray bytes = enc.encode(text);
    if (!enc.hasError()) {
        out.append(bytes.constData(), size_t(bytes.size()));
        return true;
    }
    if (badChar) {
        for (char32_t c : text.toStdU32String()) {
            QStringEncoder one(latinName_.constData(), QStringEncoder::Flag::Stateless);
            (void)QByteArray(one.encode(QString::fromUcs4(&c, 1)));
            if (one.hasError()) {
                *badChar = describeChar(c);
                break;
            }
        }
    }
    return false;
}

QString codecForLanguageDriver(uint8_t id) {
    // Each codec with the language driver bytes that name it.
    static const struct {
        const char* codec;
        std::initializer_list<uint8_t> ids;
    } kDrivers[] = {
        {"IBM437", {0x01, 0x09, 0x0B, 0x0D, 0x0F, 0x11, 0x15, 0x18, 0x19, 0x1B}},
        {"IBM850", {0x02, 0x0A, 0x0E, 0x10, 0x12, 0x14, 0x16, 0x1A, 0x1D, 0x25, 0x37}},
        {"windows-1252", {0x03, 0x57, 0x58, 0x59}},
        {"macintosh", {0x04}},
        {"IBM865", {0x08, 0x17, 0x66}},
        {"Shift_JIS", {0x13, 0x7B}},
        {"IBM863", {0x1C, 0x6C}},
        {"IBM852", {0x1F, 0x22, 0x23, 0x40, 0x64, 0x87}},
        {"IBM860", {0x24}},
        {"IBM866", {0x26, 0x65}},
        {"GBK", {0x4D, 0x7A}},
        {"windows-949", {0x4E, 0x79}},
        {"Big5", {0x4F, 0x78}},
        {"windows-874", {0x50, 0x7C}},
        {"IBM861", {0x67}},
        {"IBM737", {0x6A, 0x86}},
        {"IBM857", {0x6B, 0x88}},
        {"windows-1255", {0x7D}},
        {"windows-1256", {0x7E}},
        {"x-mac-cyrillic", {0x96}},
        {"x-mac-centraleurroman", {0x97}},
        {"x-mac-greek", {0x98}},
        {"windows-1250", {0xC8}},
        {"windows-1251", {0xC9}},
        {"windows-1254", {0xCA}},
        {"windows-1253", {0xCB}},
        {"windows-1257", {0xCC}},
    };
    for (const auto& d : kDrivers)
        for (uint8_t known : d.ids)
            if (known == id) return QString::fromLatin1(d.codec);
    return QString();
}

QString codecForCpg(const QByteArray& contents) {
    const QString t = QString::fromLatin1(contents).trimmed().toUpper();
    if (t.isEmpty()) return QString();
    if (t.contains(QLatin1String("UTF")) && t.contains(QLatin1Char('8'))) return QStringLiteral("UTF-8");
    static const QRegularExpression digits(QStringLiteral("(\\d+)"));
    const auto m = digits.match(t);
    if (m.hasMatch() && !t.startsWith(QLatin1String("KOI"))) {
        const QString n = m.captured(1);
        if (n.startsWith(QLatin1String("8859")) && n.size() > 4)
            return QStringLiteral("ISO-8859-") + n.mid(4);
        const int cp = n.toInt();
        if (cp >= 1250 && cp <= 1258) return QStringLiteral("windows-%1").arg(cp);
        static const std::map<int, const char*> kPages = {{874, "windows-874"}, {932, "Shift_JIS"},
                                                          {936, "GBK"},         {949, "windows-949"},
                                                          {950, "Big5"},        {65001, "UTF-8"}};
        static const std::set<int> kIbm = {437, 737, 775, 850, 852, 855, 857, 860,
                                           861, 862, 863, 864, 865, 866, 869};
        if (kIbm.count(cp)) return QStringLiteral("IBM%1").arg(cp);
        if (const auto it = kPages.find(cp); it != kPages.end()) return QString::fromLatin1(it->second);
    }
    // Otherwise the file may name the codec itself ("KOI8-R", "ISO-8859-5").
    if (QStringDecoder(t.toLatin1().constData()).isValid()) return t;
    return QString();
}

}  // namespace store
