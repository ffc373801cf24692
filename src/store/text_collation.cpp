#include "store/text_collation.h"

#include <QChar>
#include <vector>

namespace store {

namespace {

char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end) {
    const unsigned char b = *p++;
    if (b < 0x80) return b;
    int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
    char32_t c = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    if (extra == 0) return 0xFFFD;
    for (int i = 0; i < extra; ++i) {
        if (p == end || (*p & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (*p++ & 0x3F);
    }
    return c;
}

// Case folding of the Basic Multilingual Plane, looked up rather than computed: sorting
// and grouping by names calls the comparison for every pair it meets.
char32_t fold(char32_t c) {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(0x10000);
        for (char32_t u = 0; u < 0x10000; ++u) {
            const char32_t f = QChar::toCaseFolded(u);
            t[u] = f < 0x10000 ? char16_t(f) : char16_t(u);
        }
        return t;
    }();
    return c < 0x10000 ? table[c] : QChar::toCaseFolded(c);
}

}  // namespace

int compareText(void*, int n1, const void* v1, int n2, const void* v2) {
    const auto* a = static_cast<const unsigned char*>(v1);
    const auto* b = static_cast<const unsigned char*>(v2);
    const auto* ea = a + n1;
    const auto* eb = b + n2;
    // Equal bytes are equal texts; skip the common beginning, then back up to the start
    // of the character where the two part.
    const auto* sa = a;
    while (a < ea && b < eb && *a == *b) {
        ++a;
        ++b;
    }
    if (a == ea && b == eb) return 0;
    // Where one text is a prefix of the other there is no byte to look at on its side.
    auto inCharacter = [](const unsigned char* p, const unsigned char* end) {
        return p < end && (*p & 0xC0) == 0x80;
    };
    while (a > sa && (inCharacter(a, ea) || inCharacter(b, eb))) {
        --a;
        --b;
    }
    while (a < ea && b < eb) {
        if (*a < 0x80 && *b < 0x80) {
            unsigned char x = *a++, y = *b++;
            if (x >= 'A' && x <= 'Z') x += 32;
            if (y >= 'A' && y <= 'Z') y += 32;
            if (x != y) return x < y ? -1 : 1;
            continue;
        }
        const char32_t x = fold(nextCodePoint(a, ea));
        const char32_t y = fold(nextCodePoint(b, eb));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a < ea) return 1;
    if (b < eb) return -1;
    return 0;
}

}  // namespace store
