// Fuzz target: the conversions between a field's bytes and its value. The input is a
// selector byte, then the bytes to convert. Each conversion must keep its promise:
// numbers written for a field read back as the number (exactly when the width allows),
// a date read from a field is a real one, a text decoded from a code page encodes back
// to the same bytes, and the shortest text of a double parses back to it.
#include <QDate>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/value.h"
#include "store/dbf_file.h"

namespace {

const char* const kCodecs[] = {"windows-1251", "IBM866", "KOI8-R", "ISO-8859-5", "windows-1252", "UTF-8"};

void numbers(const uint8_t* data, size_t size) {
    if (size < 9) return;
    double v = 0;
    std::memcpy(&v, data + 1, sizeof v);
    const int width = 1 + data[0] / 3 % 40;
    std::string text;
    if (store::dbf::formatDouble(v, width, text)) {
        int64_t i = 0;
        double back = 0;
        const auto kind = store::dbf::readNumber(text.data(), text.size(), i, back, false);
        if (int(text.size()) > width || kind == store::dbf::NumberRead::Null) std::abort();
        if (kind == store::dbf::NumberRead::Integer) back = double(i);
        // Seventeen significant digits always fit 25 places for such magnitudes.
        const double a = std::fabs(v);
        if (width >= 25 && a >= 1e-5 && a < 1e15 && back != v) std::abort();
    }
    bool ok = false;
    const int64_t r = store::dbf::roundHalfEven(v, &ok);
    if (ok && std::fabs(double(r) - v) > 0.5) std::abort();
    if (std::isfinite(v)) {
        double parsed = 0;
        if (!core::parseNumber(core::doubleToText(v), &parsed) || parsed != v) std::abort();
    }
}

void texts(const uint8_t* data, size_t size) {
    store::CodePage page;
    if (!page.load(QString::fromLatin1(kCodecs[data[0] / 3 % 6]))) std::abort();
    std::string utf8, bytes, again;
    page.decode(reinterpret_cast<const char*>(data + 1), size - 1, utf8);
    QString bad;
    if (page.encode(utf8.data(), utf8.size(), bytes, &bad)) {
        page.decode(bytes.data(), bytes.size(), again);
        if (again != utf8) std::abort();
    }
    (void)store::codecForCpg(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
}

void dates(const uint8_t* data, size_t size) {
    std::string out;
    if (!store::dbf::readDate(reinterpret_cast<const char*>(data + 1), size - 1, out)) return;
    if (!QDate::fromString(QString::fromStdString(out), QStringLiteral("yyyy-MM-dd")).isValid()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    switch (data[0] % 3) {
        case 0: numbers(data, size); break;
        case 1: texts(data, size); break;
        default: dates(data, size);
    }
    return 0;
}
