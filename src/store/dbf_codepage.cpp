#include "store/dbf_codepage.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <cstring>

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
    switch (id) {
        case 0x01:
        case 0x09:
        case 0x0B:
        case 0x0D:
        case 0x0F:
        case 0x11:
        case 0x15:
        case 0x18:
        case 0x19:
        case 0x1B:
            return QStringLiteral("IBM437");
        case 0x02:
        case 0x0A:
        case 0x0E:
        case 0x10:
        case 0x12:
        case 0x14:
        case 0x16:
        case 0x1A:
        case 0x1D:
        case 0x25:
        case 0x37:
            return QStringLiteral("IBM850");
        case 0x03:
        case 0x57:
        case 0x58:
        case 0x59:
            return QStringLiteral("windows-1252");
        case 0x04:
            return QStringLiteral("macintosh");
        case 0x08:
        case 0x17:
        case 0x66:
            return QStringLiteral("IBM865");
        case 0x13:
        case 0x7B:
            return QStringLiteral("Shift_JIS");
        case 0x1C:
        case 0x6C:
            return QStringLiteral("IBM863");
        case 0x1F:
        case 0x22:
        case 0x23:
        case 0x40:
        case 0x64:
        case 0x87:
            return QStringLiteral("IBM852");
        case 0x24:
            return QStringLiteral("IBM860");
        case 0x26:
        case 0x65:
            return QStringLiteral("IBM866");
        case 0x4D:
        case 0x7A:
            return QStringLiteral("GBK");
        case 0x4E:
        case 0x79:
            return QStringLiteral("windows-949");
        case 0x4F:
        case 0x78:
            return QStringLiteral("Big5");
        case 0x50:
        case 0x7C:
            return QStringLiteral("windows-874");
        case 0x67:
            return QStringLiteral("IBM861");
        case 0x6A:
        case 0x86:
            return QStringLiteral("IBM737");
        case 0x6B:
        case 0x88:
            return QStringLiteral("IBM857");
        case 0x7D:
            return QStringLiteral("windows-1255");
        case 0x7E:
            return QStringLiteral("windows-1256");
        case 0x96:
            return QStringLiteral("x-mac-cyrillic");
        case 0x97:
            return QStringLiteral("x-mac-centraleurroman");
        case 0x98:
            return QStringLiteral("x-mac-greek");
        case 0xC8:
            return QStringLiteral("windows-1250");
        case 0xC9:
            return QStringLiteral("windows-1251");
        case 0xCA:
            return QStringLiteral("windows-1254");
        case 0xCB:
            return QStringLiteral("windows-1253");
        case 0xCC:
            return QStringLiteral("windows-1257");
        default:
            return QString();
    }
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
        switch (cp) {
            case 437:
            case 737:
            case 775:
            case 850:
            case 852:
            case 855:
            case 857:
            case 860:
            case 861:
            case 862:
            case 863:
            case 864:
            case 865:
            case 866:
            case 869:
                return QStringLiteral("IBM%1").arg(cp);
            case 874:
                return QStringLiteral("windows-874");
            case 932:
                return QStringLiteral("Shift_JIS");
            case 936:
                return QStringLiteral("GBK");
            case 949:
                return QStringLiteral("windows-949");
            case 950:
                return QStringLiteral("Big5");
            case 65001:
                return QStringLiteral("UTF-8");
            default:
                break;
        }
    }
    // Otherwise the file may name the codec itself ("KOI8-R", "ISO-8859-5").
    if (QStringDecoder(t.toLatin1().constData()).isValid()) return t;
    return QString();
}

}  // namespace store
