#pragma once
// What the benchmarks share: the time one call takes, and the line that reports a
// series of such times by its median, best and worst.

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

inline double msOf(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// "  what   median … ms   best …   worst …", the caption padded to captionWidth.
inline void report(const char* what, std::vector<double> v, int captionWidth) {
    std::sort(v.begin(), v.end());
    std::printf("  %-*s median %8.1f ms   best %8.1f   worst %8.1f\n", captionWidth, what, v[v.size() / 2],
                v.front(), v.back());
}

}  // namespace bench
