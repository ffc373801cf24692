#include "store/table_data.h"

#include <QDate>
#include <QDir>
#include <QTime>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/errors.h"

namespace store {

namespace {

uint64_t mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

int64_t le64(const unsigned char* p) {
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
    return int64_t(v);
}

int32_t le32s(const unsigned char* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

// ---------------------------------------------------------------- TextArena

uint64_t TextArena::add(const char* p, size_t n) {
    if (n > 0xFFFFF) n = 0xFFFFF;
    if (chunks_.empty() || used_ + n > kChunk) {
        // Not zeroed: only the bytes written are read, and a small table touches few pages.
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
        used_ = 0;
    }
    const uint64_t ref = (uint64_t(chunks_.size() - 1) << 40) | (uint64_t(used_) << 20) | uint64_t(n);
    if (n) std::memcpy(chunks_.back().get() + used_, p, n);
    used_ += n;
    return ref;
}

// ---------------------------------------------------------------- HashIndex

size_t HashIndex::slotOf(uint64_t key) const {
    size_t s = size_t(mix(key) & mask_);
    while (slots_[s].count != 0 && slots_[s].key != key) s = (s + 1) & mask_;
    return s;
}

HashIndex::Range HashIndex::find(uint64_t key) const {
    if (dense_) {
        const int64_t k = int64_t(key) - base_;
        if (k < 0 || k + 1 >= int64_t(starts_.size())) return {};
        return {rows_.data() + starts_[size_t(k)], rows_.data() + starts_[size_t(k) + 1]};
    }
    if (slots_.empty()) return {};
    const Slot& slot = slots_[slotOf(key)];
    if (slot.count == 0) return {};
    return {rows_.data() + slot.start, rows_.data() + slot.start + slot.count};
}

// ---------------------------------------------------------------- TableData

TableData::TableData(std::unique_ptr<DbfFile> file) : file_(std::move(file)) {
    const auto& fields = file_->fields();
    for (size_t k = 0; k < fields.size(); ++k) {
        const DbfField& f = fields[k];
        if (f.kind == FieldKind::NullFlags) continue;
        Column c;
        c.field = int(k);
        c.kind = f.kind;
        switch (f.kind) {
            case FieldKind::Number:
            case FieldKind::Logical:
            case FieldKind::BinInt:
                c.storage = Storage::Int32;
                c.whole = true;
                break;
            case FieldKind::Decimal:
            case FieldKind::Currency:
            case FieldKind::BinDouble:
                c.storage = Storage::Double;
                break;
            case FieldKind::Text:
            case FieldKind::Date:
            case FieldKind::DateTime:
                c.storage = Storage::Text;
                break;
            case FieldKind::Memo:
            case FieldKind::NullFlags:
                c.storage = Storage::None;
                break;
        }
        columns_.push_back(std::move(c));
    }
}

void TableData::widen(Column& c) {
    c.doubles.resize(c.ints.size());
    for (size_t r = 0; r < c.ints.size(); ++r)
        c.doubles[r] = c.ints[r] == Column::kNullInt ? kNaN : double(c.ints[r]);
    std::vector<int32_t>().swap(c.ints);
    c.storage = Storage::Double;
    c.index.reset();
    // Keys change form with the storage.
    c.sketch.fill(0);
    c.lastSketched = ~uint64_t(0);
    for (double d : c.doubles)
        if (!std::isnan(d)) addToSketch(c, doubleKey(d));
}

void TableData::addToSketch(Column& c, uint64_t key) {
    // Keys often repeat row after row (the bands of one offer); one is enough.
    if (key == c.lastSketched) return;
    c.lastSketched = key;
    const uint64_t h = mix(key);
    const size_t slot = size_t(h >> 54);
    const uint8_t rank = uint8_t(std::countl_zero((h << 10) | (uint64_t(1) << 9)) + 1);
    if (rank > c.sketch[slot]) c.sketch[slot] = rank;
}

double TableData::distinctEstimate(const Column& c) {
    constexpr double m = 1024.0;
    double sum = 0;
    int zeros = 0;
    for (uint8_t r : c.sketch) {
        sum += std::ldexp(1.0, -int(r));
        zeros += r == 0;
    }
    double e = 0.7213 / (1.0 + 1.079 / m) * m * m / sum;
    if (e <= 2.5 * m && zeros > 0) e = m * std::log(m / zeros);
    return std::max(1.0, e);
}

double TableData::rowsPerKey(int col) {
    const Column& c = columns_[size_t(col)];
    const double live = std::max(1.0, double(live_));
    if (!c.whole && !c.index) {
        // Fractional columns keep no sketch (prices are rarely looked up by value): this
        // rare look-up pays for its index up front.
        index(col);
    }
    if (c.index && c.index->distinct() > 0) {
        const uint32_t tail = rowCount() - c.index->covered();
        return double(c.index->entries()) / double(c.index->distinct()) +
               double(tail) / double(c.index->distinct());
    }
    return std::max(1.0, live / std::min(live, distinctEstimate(c)));
}

void TableData::decodeInto(uint32_t row, const char* record) {
    const auto& fields = file_->fields();
    const bool append = row == deleted_.size();
    if (append) {
        deleted_.push_back(0);
        ++live_;
    }
    // Every record starts with its deletion flag; any other byte there means that the
    // header places the records where they are not.
    if (record[0] != ' ' && record[0] != '*')
        throw core::DbError(
            QStringLiteral("Файл таблицы %1 повреждён: запись %2 начинается не с пробела и не "
                           "с «*», заголовок не совпадает с записями.")
                .arg(QDir::toNativeSeparators(file_->path()))
                .arg(row + 1));
    const bool del = record[0] == '*';
    if (bool(deleted_[row]) != del) {
        deleted_[row] = del;
        del ? --live_ : ++live_;
    }
    for (Column& c : columns_) {
        const DbfField& f = fields[size_t(c.field)];
        const char* p = record + f.offset;
        const auto* u = reinterpret_cast<const unsigned char*>(p);
        size_t n = size_t(f.length);

        // The value of this field, as one of: null, whole number, real, text.
        enum { Null, Whole, Real, Text } what = Null;
        int64_t i = 0;
        double d = 0;
        switch (c.kind) {
            case FieldKind::Text: {
                while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
                if (n > 0) {
                    scratch_.clear();
                    file_->codePage().decode(p, n, scratch_);
                    what = Text;
                }
                break;
            }
            case FieldKind::Number:
            case FieldKind::Decimal: {
                const dbf::NumberRead r = dbf::readNumber(p, n, i, d, f.type == 'F');
                if (r == dbf::NumberRead::Integer) {
                    what = Whole;
                    d = double(i);
                } else if (r == dbf::NumberRead::Real) {
                    what = Real;
                }
                break;
            }
            case FieldKind::Date:
                scratch_.clear();
                if (dbf::readDate(p, n, scratch_)) what = Text;
                break;
            case FieldKind::Logical:
                if (std::strchr("TtYy", p[0]) && p[0]) {
                    what = Whole;
                    i = 1;
                } else if (std::strchr("FfNn", p[0]) && p[0]) {
                    what = Whole;
                    i = 0;
                }
                break;
            case FieldKind::BinInt:
                what = Whole;
                i = le32s(u);
                break;
            case FieldKind::Currency:
                what = Real;
                d = double(le64(u)) / 10000.0;
                break;
            case FieldKind::BinDouble:
                std::memcpy(&d, p, 8);
                what = std::isfinite(d) ? Real : Null;
                break;
            case FieldKind::DateTime: {
                const int32_t day = le32s(u);
                const int32_t ms = le32s(u + 4);
                if (day > 0) {
                    const QDate date = QDate::fromJulianDay(day);
                    const QTime time = QTime::fromMSecsSinceStartOfDay(ms);
                    if (date.isValid()) {
                        const QByteArray t =
                            (date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
                             (time.isValid() ? time : QTime(0, 0)).toString(QStringLiteral("hh:mm:ss")))
                                .toLatin1();
                        scratch_.assign(t.constData(), size_t(t.size()));
                        what = Text;
                    }
                }
                break;
            }
            case FieldKind::Memo:
            case FieldKind::NullFlags:
                break;
        }

        switch (c.storage) {
            case Storage::Int32: {
                if (what == Real && d == std::trunc(d) && std::fabs(d) < 2147483647.0) {
                    what = Whole;
                    i = int64_t(d);
                }
                int32_t v = Column::kNullInt;
                bool fits = true;
                if (what == Whole) {
                    fits = i > INT32_MIN && i <= INT32_MAX;
                    v = int32_t(i);
                } else if (what == Real) {
                    fits = false;
                }
                if (!fits) {
                    widen(c);
                    // fall through to the double storage with the value
                    const double val = what == Whole ? double(i) : d;
                    addToSketch(c, doubleKey(val));
                    if (append)
                        c.doubles.push_back(val);
                    else
                        c.doubles[row] = val;
                    break;
                }
                if (v != Column::kNullInt) addToSketch(c, uint64_t(int64_t(v)));
                if (append) {
                    c.ints.push_back(v);
                } else {
                    if (c.index && c.ints[row] != v && row < c.index->covered()) c.index.reset();
                    c.ints[row] = v;
                }
                break;
            }
            case Storage::Double: {
                const double val = what == Null ? kNaN : (what == Whole ? double(i) : d);
                if (what != Null && c.whole) addToSketch(c, doubleKey(val));
                if (append) {
                    c.doubles.push_back(val);
                } else {
                    if (c.index && row < c.index->covered()) {
                        const double old = c.doubles[row];
                        const bool same = (std::isnan(old) && std::isnan(val)) || old == val;
                        if (!same) c.index.reset();
                    }
                    c.doubles[row] = val;
                }
                break;
            }
            case Storage::Text: {
                const uint64_t ref =
                    what == Text ? arena_.add(scratch_.data(), scratch_.size()) : TextArena::kNull;
                if (append)
                    c.texts.push_back(ref);
                else
                    c.texts[row] = ref;
                break;
            }
            case Storage::None:
                break;
        }
    }
}

void TableData::ensureLoaded() {
    if (loaded_) return;
    const uint32_t count = file_->recordCount();
    for (Column& c : columns_) {
        switch (c.storage) {
            case Storage::Int32:
                c.ints.reserve(count);
                break;
            case Storage::Double:
                c.doubles.reserve(count);
                break;
            case Storage::Text:
                c.texts.reserve(count);
                break;
            case Storage::None:
                break;
        }
    }
    deleted_.reserve(count);
    const size_t recLen = size_t(file_->recordLength());
    const uint32_t perChunk = uint32_t(std::max<size_t>(1, (size_t(4) << 20) / recLen));
    std::vector<char> buf(size_t(std::min(perChunk, std::max<uint32_t>(count, 1))) * recLen);
    try {
        for (uint32_t first = 0; first < count;) {
            const uint32_t n = std::min(perChunk, count - first);
            file_->read(first, n, buf.data());
            for (uint32_t k = 0; k < n; ++k) decodeInto(first + k, buf.data() + size_t(k) * recLen);
            first += n;
        }
    } catch (...) {
        // Leave the table empty and unloaded so a later attempt starts over.
        for (Column& c : columns_) {
            c.ints.clear();
            c.doubles.clear();
            c.texts.clear();
            c.index.reset();
            if (c.kind == FieldKind::Number || c.kind == FieldKind::Logical || c.kind == FieldKind::BinInt)
                c.storage = Storage::Int32;
        }
        deleted_.clear();
        live_ = 0;
        throw;
    }
    loaded_ = true;
}

void TableData::storeRecord(uint32_t row, const char* record) {
    decodeInto(row, record);
}

void TableData::markDeleted(uint32_t row) {
    if (!deleted_[row]) {
        deleted_[row] = 1;
        --live_;
    }
}

uint64_t TableData::doubleKey(double d) {
    if (d == 0.0) d = 0.0;  // -0 and +0 are one key
    uint64_t k;
    std::memcpy(&k, &d, sizeof k);
    return k;
}

bool TableData::keyOf(const Column& c, uint32_t row, uint64_t* key) const {
    if (c.storage == Storage::Int32) {
        const int32_t v = c.ints[row];
        if (v == Column::kNullInt) return false;
        *key = uint64_t(int64_t(v));
        return true;
    }
    if (c.storage == Storage::Double) {
        const double v = c.doubles[row];
        if (std::isnan(v)) return false;
        *key = doubleKey(v);
        return true;
    }
    return false;
}

std::shared_ptr<const HashIndex> TableData::buildDense(const Column& c, int32_t lo, int32_t hi) const {
    auto idx = std::make_shared<HashIndex>();
    const uint32_t n = rowCount();
    idx->covered_ = n;
    idx->dense_ = true;
    idx->base_ = lo;
    const size_t range = size_t(int64_t(hi) - lo + 1);
    idx->starts_.assign(range + 1, 0);
    uint32_t* counts = idx->starts_.data() + 1;
    size_t entries = 0;
    for (uint32_t r = 0; r < n; ++r) {
        const int32_t v = c.ints[r];
        if (v == Column::kNullInt || deleted_[r]) continue;
        ++counts[size_t(int64_t(v) - lo)];
        ++entries;
    }
    size_t distinct = 0;
    for (size_t k = 1; k <= range; ++k) {
        distinct += idx->starts_[k] != 0;
        idx->starts_[k] += idx->starts_[k - 1];
    }
    idx->distinct_ = distinct;
    idx->rows_.resize(entries);
    // Fill each group from its end, last row first, so the rows come out ascending and
    // starts_ is left pointing at each group's beginning again.
    std::vector<uint32_t> fill(idx->starts_.begin() + 1, idx->starts_.end());
    for (uint32_t r = n; r-- > 0;) {
        const int32_t v = c.ints[r];
        if (v == Column::kNullInt || deleted_[r]) continue;
        idx->rows_[--fill[size_t(int64_t(v) - lo)]] = r;
    }
    return idx;
}

std::shared_ptr<const HashIndex> TableData::build(const Column& c) const {
    if (c.storage == Storage::Int32) {
        int32_t lo = INT32_MAX, hi = INT32_MIN;
        uint32_t present = 0;
        for (uint32_t r = 0; r < rowCount(); ++r) {
            const int32_t v = c.ints[r];
            if (v == Column::kNullInt || deleted_[r]) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            ++present;
        }
        if (present > 0 && int64_t(hi) - lo < std::max<int64_t>(4096, 4 * int64_t(present)))
            return buildDense(c, lo, hi);
    }
    auto idx = std::make_shared<HashIndex>();
    const uint32_t n = rowCount();
    idx->covered_ = n;
    size_t cap = 1024;
    const double expected = std::min(double(live_), distinctEstimate(c)) * 1.2;
    while (double(cap) < 2.0 * expected) cap <<= 1;
    idx->slots_.assign(cap, {});
    idx->mask_ = cap - 1;
    size_t used = 0;
    size_t entries = 0;
    // Rows of one key often stand together (the bands of one offer): probe once per run.
    bool haveLast = false;
    uint64_t lastKey = 0;
    size_t lastSlot = 0;
    for (uint32_t r = 0; r < n; ++r) {
        uint64_t key;
        if (deleted_[r] || !keyOf(c, r, &key)) continue;
        ++entries;
        if (haveLast && key == lastKey) {
            ++idx->slots_[lastSlot].count;
            continue;
        }
        size_t s = idx->slotOf(key);
        HashIndex::Slot& slot = idx->slots_[s];
        if (slot.count == 0) {
            slot.key = key;
            ++used;
        }
        ++slot.count;
        haveLast = true;
        lastKey = key;
        lastSlot = s;
        if (used * 2 > cap) {
            haveLast = false;
            cap <<= 1;
            std::vector<HashIndex::Slot> old(cap);
            old.swap(idx->slots_);
            idx->mask_ = cap - 1;
            for (const auto& o : old)
                if (o.count) idx->slots_[idx->slotOf(o.key)] = o;
        }
    }
    idx->distinct_ = used;
    // Each slot's start first points past its group; filling backwards from the last row
    // leaves it at the group's beginning with the rows in ascending order.
    uint32_t pos = 0;
    for (auto& s : idx->slots_) {
        if (s.count) {
            pos += s.count;
            s.start = pos;
        }
    }
    idx->rows_.resize(entries);
    haveLast = false;
    for (uint32_t r = n; r-- > 0;) {
        uint64_t key;
        if (deleted_[r] || !keyOf(c, r, &key)) continue;
        if (!haveLast || key != lastKey) {
            lastSlot = idx->slotOf(key);
            lastKey = key;
            haveLast = true;
        }
        idx->rows_[--idx->slots_[lastSlot].start] = r;
    }
    return idx;
}

std::shared_ptr<const HashIndex> TableData::index(int col) {
    Column& c = columns_[size_t(col)];
    if (!indexable(c)) return nullptr;
    ensureLoaded();
    if (c.index) {
        const uint32_t tail = rowCount() - c.index->covered();
        if (tail <= std::max<uint32_t>(1024, c.index->covered() / 4)) return c.index;
    }
    c.index = build(c);
    return c.index;
}

}  // namespace store
