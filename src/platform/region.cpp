#include "platform/region.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace win {

namespace {

struct Span {
    LONG left;
    LONG right;
    bool operator==(const Span&) const = default;
};

// Spans of the band that fully covers [y0, y1) in a banded rectangle list, starting the search at
// `cursor` (bands are visited in order, so the cursor only moves forward).
void SpansAt(const std::vector<RECT>& rects, size_t& cursor, LONG y0, LONG y1, std::vector<Span>& out) {
    out.clear();
    while (cursor < rects.size() && rects[cursor].bottom <= y0) ++cursor;
    for (size_t i = cursor; i < rects.size(); ++i) {
        const RECT& r = rects[i];
        if (r.top > y0) break;
        if (r.top <= y0 && r.bottom >= y1) out.push_back({r.left, r.right});
    }
}

// Combines two sorted, disjoint span lists with a boolean rule on (inA, inB).
template <typename Rule>
void CombineSpans(const std::vector<Span>& a, const std::vector<Span>& b, Rule rule, std::vector<Span>& out) {
    out.clear();
    std::vector<LONG> xs;
    xs.reserve(2 * (a.size() + b.size()));
    for (const Span& s : a) { xs.push_back(s.left); xs.push_back(s.right); }
    for (const Span& s : b) { xs.push_back(s.left); xs.push_back(s.right); }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    size_t ia = 0;
    size_t ib = 0;
    for (size_t k = 0; k + 1 < xs.size(); ++k) {
        LONG x0 = xs[k];
        LONG x1 = xs[k + 1];
        while (ia < a.size() && a[ia].right <= x0) ++ia;
        while (ib < b.size() && b[ib].right <= x0) ++ib;
        bool inA = ia < a.size() && a[ia].left <= x0;
        bool inB = ib < b.size() && b[ib].left <= x0;
        if (!rule(inA, inB)) continue;
        if (!out.empty() && out.back().right == x0) {
            out.back().right = x1;
        } else {
            out.push_back({x0, x1});
        }
    }
}

// Appends one band to a banded list, merging it into the band above when they touch and have the
// same spans, which keeps the representation canonical.
class BandBuilder {
public:
    explicit BandBuilder(std::vector<RECT>& out) : out_(out) {}

    void Add(LONG y0, LONG y1, const std::vector<Span>& spans) {
        if (spans.empty() || y1 <= y0) return;
        if (lastBottom_ == y0 && lastSpans_ == spans) {
            for (size_t i = lastStart_; i < out_.size(); ++i) out_[i].bottom = y1;
        } else {
            lastStart_ = out_.size();
            for (const Span& s : spans) out_.push_back({s.left, y0, s.right, y1});
            lastSpans_ = spans;
        }
        lastBottom_ = y1;
    }

private:
    std::vector<RECT>& out_;
    std::vector<Span> lastSpans_;
    size_t lastStart_ = 0;
    LONG lastBottom_ = std::numeric_limits<LONG>::min();
};

template <typename Rule>
std::vector<RECT> CombineBanded(const std::vector<RECT>& a, const std::vector<RECT>& b, Rule rule) {
    std::vector<LONG> ys;
    ys.reserve(2 * (a.size() + b.size()));
    for (const RECT& r : a) { ys.push_back(r.top); ys.push_back(r.bottom); }
    for (const RECT& r : b) { ys.push_back(r.top); ys.push_back(r.bottom); }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    std::vector<RECT> out;
    BandBuilder builder(out);
    std::vector<Span> sa, sb, sc;
    size_t ca = 0;
    size_t cb = 0;
    for (size_t k = 0; k + 1 < ys.size(); ++k) {
        SpansAt(a, ca, ys[k], ys[k + 1], sa);
        SpansAt(b, cb, ys[k], ys[k + 1], sb);
        CombineSpans(sa, sb, rule, sc);
        builder.Add(ys[k], ys[k + 1], sc);
    }
    return out;
}

// Rows of pixel spans built top to bottom into a canonical region.
class RowCollector {
public:
    void AddRow(LONG y, std::vector<Span>& spans) {
        std::sort(spans.begin(), spans.end(), [](const Span& p, const Span& q) { return p.left < q.left; });
        std::vector<Span> merged;
        for (const Span& s : spans) {
            if (s.right <= s.left) continue;
            if (!merged.empty() && s.left <= merged.back().right) {
                merged.back().right = std::max(merged.back().right, s.right);
            } else {
                merged.push_back(s);
            }
        }
        builder_.Add(y, y + 1, merged);
    }
    std::vector<RECT> Take() { return std::move(rects_); }

private:
    std::vector<RECT> rects_;
    BandBuilder builder_{rects_};
};

}  // namespace

Region::Region(const RECT& r) : Region(r.left, r.top, r.right, r.bottom) {}

Region::Region(LONG left, LONG top, LONG right, LONG bottom) {
    if (right > left && bottom > top) rects_.push_back({left, top, right, bottom});
}

Region Region::FromRects(std::span<const RECT> rects) {
    Region result;
    for (const RECT& r : rects) result = result.Union(Region(r));
    return result;
}

Region Region::FromPolygon(std::span<const POINT> points, int fillMode) {
    const int count = static_cast<int>(points.size());
    return FromPolyPolygon(points, std::span<const int>(&count, 1), fillMode);
}

Region Region::FromPolyPolygon(std::span<const POINT> points, std::span<const int> counts, int fillMode) {
    struct Edge {
        double x0, y0, x1, y1;
        int dir;
    };
    std::vector<Edge> edges;
    size_t start = 0;
    LONG minY = std::numeric_limits<LONG>::max();
    LONG maxY = std::numeric_limits<LONG>::min();
    for (int n : counts) {
        if (n < 0 || start + static_cast<size_t>(n) > points.size()) break;
        for (int i = 0; i < n; ++i) {
            const POINT& p = points[start + i];
            const POINT& q = points[start + (i + 1) % n];
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
            if (p.y == q.y) continue;
            if (p.y < q.y) {
                edges.push_back({double(p.x), double(p.y), double(q.x), double(q.y), 1});
            } else {
                edges.push_back({double(q.x), double(q.y), double(p.x), double(p.y), -1});
            }
        }
        start += static_cast<size_t>(n);
    }
    Region result;
    if (edges.empty()) return result;

    RowCollector rows;
    std::vector<std::pair<double, int>> crossings;
    std::vector<Span> spans;
    for (LONG y = minY; y < maxY; ++y) {
        const double cy = y + 0.5;
        crossings.clear();
        for (const Edge& e : edges) {
            if (cy < e.y0 || cy >= e.y1) continue;
            double x = e.x0 + (cy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
            crossings.push_back({x, e.dir});
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const auto& p, const auto& q) { return p.first < q.first; });
        spans.clear();
        int winding = 0;
        for (size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += crossings[i].second;
            bool inside = fillMode == WINDING ? winding != 0 : (i % 2) == 0;
            if (!inside) continue;
            // A pixel belongs to the span when its centre lies in [xa, xb).
            LONG xa = static_cast<LONG>(std::ceil(crossings[i].first - 0.5));
            LONG xb = static_cast<LONG>(std::ceil(crossings[i + 1].first - 0.5));
            if (xb > xa) spans.push_back({xa, xb});
        }
        rows.AddRow(y, spans);
    }
    result.rects_ = rows.Take();
    return result;
}

Region Region::FromEllipse(const RECT& bounds) {
    Region result;
    if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return result;
    const double cx = (bounds.left + bounds.right) / 2.0;
    const double cy = (bounds.top + bounds.bottom) / 2.0;
    const double a = (bounds.right - bounds.left) / 2.0;
    const double b = (bounds.bottom - bounds.top) / 2.0;
    RowCollector rows;
    std::vector<Span> spans;
    for (LONG y = bounds.top; y < bounds.bottom; ++y) {
        double dy = (y + 0.5 - cy) / b;
        double rest = 1.0 - dy * dy;
        spans.clear();
        if (rest > 0) {
            double half = a * std::sqrt(rest);
            LONG xa = static_cast<LONG>(std::ceil(cx - half - 0.5));
            LONG xb = static_cast<LONG>(std::ceil(cx + half - 0.5));
            if (xb > xa) spans.push_back({xa, xb});
        }
        rows.AddRow(y, spans);
    }
    result.rects_ = rows.Take();
    return result;
}

RECT Region::Bounds() const {
    if (rects_.empty()) return {};
    RECT b = rects_.front();
    for (const RECT& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

int Region::Kind() const {
    if (rects_.empty()) return NULLREGION;
    return rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

Region Region::Union(const Region& other) const {
    if (other.IsEmpty()) return *this;
    if (IsEmpty()) return other;
    Region r;
    r.rects_ = CombineBanded(rects_, other.rects_, [](bool a, bool b) { return a || b; });
    return r;
}

Region Region::Intersect(const Region& other) const {
    Region r;
    if (IsEmpty() || other.IsEmpty()) return r;
    r.rects_ = CombineBanded(rects_, other.rects_, [](bool a, bool b) { return a && b; });
    return r;
}

Region Region::Subtract(const Region& other) const {
    if (IsEmpty() || other.IsEmpty()) return *this;
    Region r;
    r.rects_ = CombineBanded(rects_, other.rects_, [](bool a, bool b) { return a && !b; });
    return r;
}

Region Region::Xor(const Region& other) const {
    Region r;
    r.rects_ = CombineBanded(rects_, other.rects_, [](bool a, bool b) { return a != b; });
    return r;
}

Region Region::Combine(const Region& other, int mode) const {
    switch (mode) {
        case RGN_AND: return Intersect(other);
        case RGN_OR: return Union(other);
        case RGN_XOR: return Xor(other);
        case RGN_DIFF: return Subtract(other);
        default: return *this;
    }
}

void Region::Offset(LONG dx, LONG dy) {
    for (RECT& r : rects_) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

bool Region::Contains(LONG x, LONG y) const {
    for (const RECT& r : rects_) {
        if (r.top > y) break;
        if (y < r.bottom && x >= r.left && x < r.right) return true;
    }
    return false;
}

bool Region::Intersects(const RECT& q) const {
    if (q.right <= q.left || q.bottom <= q.top) return false;
    for (const RECT& r : rects_) {
        if (r.top >= q.bottom) break;
        if (r.bottom > q.top && r.left < q.right && r.right > q.left) return true;
    }
    return false;
}

bool Region::ContainsRect(const RECT& q) const {
    if (q.right <= q.left || q.bottom <= q.top) return true;
    return Region(q).Subtract(*this).IsEmpty();
}

bool Region::operator==(const Region& other) const {
    if (rects_.size() != other.rects_.size()) return false;
    for (size_t i = 0; i < rects_.size(); ++i) {
        const RECT& a = rects_[i];
        const RECT& b = other.rects_[i];
        if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom) return false;
    }
    return true;
}

// ---- rectangle helpers -------------------------------------------------------------------

bool IsRectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b) {
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(r)) {
        *dst = {};
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b) {
    if (IsRectEmpty(*a)) {
        *dst = IsRectEmpty(*b) ? RECT{} : *b;
    } else if (IsRectEmpty(*b)) {
        *dst = *a;
    } else {
        *dst = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(*dst) ? FALSE : TRUE;
}

BOOL SubtractRect(RECT* dst, const RECT* a, const RECT* b) {
    RECT r = *a;
    RECT i;
    if (IntersectRect(&i, a, b)) {
        // Only a cut that spans a whole side leaves a rectangle.
        if (i.top == r.top && i.bottom == r.bottom) {
            if (i.left == r.left) r.left = i.right;
            else if (i.right == r.right) r.right = i.left;
        } else if (i.left == r.left && i.right == r.right) {
            if (i.top == r.top) r.top = i.bottom;
            else if (i.bottom == r.bottom) r.bottom = i.top;
        }
    }
    if (IsRectEmpty(r)) {
        *dst = {};
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

BOOL SetRect(RECT* r, int left, int top, int right, int bottom) {
    *r = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT* r) {
    *r = {};
    return TRUE;
}

BOOL CopyRect(RECT* dst, const RECT* src) {
    *dst = *src;
    return TRUE;
}

BOOL OffsetRect(RECT* r, int dx, int dy) {
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}

BOOL InflateRect(RECT* r, int dx, int dy) {
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
    return TRUE;
}

BOOL PtInRect(const RECT* r, POINT p) {
    return p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom ? TRUE : FALSE;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom ? TRUE
                                                                                                    : FALSE;
}

}  // namespace win
