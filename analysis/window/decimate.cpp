#include "decimate.h"

#include <algorithm>
#include <cmath>

namespace {
// The index range [first, last] of x0..x1 with one point more each side.
bool indexRange(size_t size, double x0, double x1, size_t& first, size_t& last)
{
    if (size == 0 || !(x1 >= x0))
        return false;
    const double lo = std::max(0.0, std::floor(x0) - 1);
    const double hi = std::min(static_cast<double>(size - 1), std::ceil(x1) + 1);
    if (lo > hi)
        return false;
    first = static_cast<size_t>(lo);
    last = static_cast<size_t>(hi);
    return true;
}
}  // namespace

QList<QPointF> DecimateMinMax(const std::vector<double>& y, double x0, double x1, int columns)
{
    QList<QPointF> out;
    size_t first = 0;
    size_t last = 0;
    if (!indexRange(y.size(), x0, x1, first, last))
        return out;
    const size_t count = last - first + 1;
    columns = std::max(columns, 1);
    if (count <= static_cast<size_t>(columns) * 2) {
        for (size_t x = first; x <= last; ++x)
            if (!std::isnan(y[x]))
                out.append(QPointF(static_cast<double>(x), y[x]));
        return out;
    }
    out.reserve(columns * 2);
    const double perColumn = static_cast<double>(count) / columns;
    size_t x = first;
    for (int c = 0; c < columns && x <= last; ++c) {
        const size_t end = std::min(last + 1, first + static_cast<size_t>(std::llround((c + 1) * perColumn)));
        size_t lo = end;
        size_t hi = end;
        for (; x < end; ++x) {
            if (std::isnan(y[x]))
                continue;
            if (lo == end || y[x] < y[lo])
                lo = x;
            if (hi == end || y[x] > y[hi])
                hi = x;
        }
        if (lo == end)
            continue;
        const size_t a = std::min(lo, hi);
        const size_t b = std::max(lo, hi);
        out.append(QPointF(static_cast<double>(a), y[a]));
        if (b != a)
            out.append(QPointF(static_cast<double>(b), y[b]));
    }
    return out;
}

bool VisibleExtent(const std::vector<double>& y, double x0, double x1, double& lo, double& hi)
{
    size_t first = 0;
    size_t last = 0;
    if (!indexRange(y.size(), x0, x1, first, last))
        return false;
    bool any = false;
    for (size_t x = first; x <= last; ++x) {
        if (std::isnan(y[x]))
            continue;
        lo = any ? std::min(lo, y[x]) : y[x];
        hi = any ? std::max(hi, y[x]) : y[x];
        any = true;
    }
    return any;
}
