// The texts of fields: numbers and dates read as any writer put them, numbers written as
// the shortest text that reads back as the same number.
#include <QDate>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "store/dbf_file.h"

namespace store {
namespace {

const double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

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

}  // namespace store
