#include "store/price_range.h"

#include <sqlite3.h>

#include <QStringView>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <unordered_map>

#include "core/errors.h"
#include "store/engine_table.h"
#include "store/scan_module.h"

namespace store {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kTableName = "price/range";
const char* const kSourceNames[3] = {"TBL_STFS", "TBL_CSTS", "TBL_PRSS"};

const QString kHead = QStringLiteral(
    "SELECT a.IND, a.PST_NM, MAX(c.CST) as MAX_CST, MIN(c.CST) as MIN_CST FROM ((TBL_PSTS a INNER JOIN "
    "TBL_STFS b ON a.IND=b.IND_PST) INNER JOIN TBL_CSTS c ON b.IND=c.IND_STF) INNER JOIN TBL_PRSS d ON "
    "b.IND_PRS=d.IND WHERE ");
const QString kTail = QStringLiteral(" GROUP BY a.IND, a.PST_NM ORDER BY PST_NM");
const QString kKeptHead = QStringLiteral(
    "SELECT a.IND, a.PST_NM, MAX(d.MAX_CST) as MAX_CST, MIN(d.MIN_CST) as MIN_CST FROM TBL_PSTS a INNER "
    "JOIN \"price/range\" d ON a.IND=d.IND_PST WHERE ");

// The condition parser: a whole number, then a parenthesised list of them.
bool skip(QStringView& s, QStringView word) {
    if (!s.startsWith(word)) return false;
    s = s.mid(word.size());
    return true;
}

// Whole numbers beyond 2^53 would compare differently as SQLite's integers and as doubles.
bool number(QStringView& s, double* out) {
    qsizetype n = s.startsWith(QLatin1Char('-')) ? 1 : 0;
    const qsizetype first = n;
    while (n < s.size() && s[n] >= QLatin1Char('0') && s[n] <= QLatin1Char('9')) ++n;
    if (n == first || n - first > 15) return false;
    double v = 0;  // exact: fewer than 16 digits
    for (qsizetype i = first; i < n; ++i) v = v * 10 + double(s[i].unicode() - u'0');
    *out = first ? -v : v;
    s = s.mid(n);
    return true;
}

bool numberList(QStringView& s, std::vector<double>* out) {
    double v = 0;
    if (!skip(s, u"(") || !number(s, &v)) return false;
    out->push_back(v);
    while (skip(s, u",")) {
        if (!number(s, &v)) return false;
        out->push_back(v);
    }
    return skip(s, u")");
}

// "a.IND_GRP=n" or "a.IND IN (k,...)", optionally followed by " AND d.IND_BS IN (b,...)".
std::optional<PriceRanges::Condition> servedCondition(QStringView s) {
    PriceRanges::Condition c;
    double group = 0;
    if (skip(s, u"a.IND_GRP=")) {
        if (!number(s, &group)) return std::nullopt;
        c.group = group;
    } else if (!skip(s, u"a.IND IN ") || !numberList(s, &c.keys)) {
        return std::nullopt;
    }
    if (s.isEmpty()) return c;
    c.bases.emplace();
    if (skip(s, u" AND d.IND_BS IN ") && numberList(s, &*c.bases) && s.isEmpty()) return c;
    return std::nullopt;
}

}  // namespace

double numberAt(const Column& c, uint32_t row) {
    if (c.storage == Storage::Int32) return c.ints[row] == Column::kNullInt ? kNaN : double(c.ints[row]);
    return c.doubles[row];
}

int columnOf(const TableData& t, const char* name) {
    const auto& fields = t.file().fields();
    for (size_t i = 0; i < t.columns().size(); ++i)
        if (fields[size_t(t.column(int(i)).field)].name.compare(QLatin1String(name), Qt::CaseInsensitive) ==
            0)
            return int(i);
    return -1;
}

bool numericColumn(const TableData& t, int col, bool needWhole) {
    if (col < 0) return false;
    const Column& c = t.column(col);
    if (c.kind == FieldKind::Logical) return false;
    if (c.storage != Storage::Int32 && c.storage != Storage::Double) return false;
    return c.whole || !needWhole;
}

namespace {


// The lowest and highest non-null price of a set of bands, and whether there was a band.
struct Span {
    double low = kNaN, high = kNaN;
    bool any = false;
    void add(double v) {
        any = true;
        if (std::isnan(v)) return;
        if (std::isnan(low) || v < low) low = v;
        if (std::isnan(high) || v > high) high = v;
    }
    void add(const Span& s) {
        any = any || s.any;
        if (!std::isnan(s.low)) add(s.low);
        if (!std::isnan(s.high)) add(s.high);
    }
};

// The bands' spans by offer key: an array when the keys are whole numbers in a compact
// range (identifiers mostly are), else a hash map.
class SpansByKey {
public:
    SpansByKey(const TableData& t, const Column& key) {
        double lo = 0, hi = -1;
        bool whole = true;
        for (uint32_t r = 0; r < t.rowCount() && whole; ++r) {
            const double k = numberAt(key, r);
            if (t.isDeleted(r) || std::isnan(k)) continue;
            whole = k == std::trunc(k) && std::fabs(k) < 1e15;
            if (hi < lo) lo = hi = k;
            lo = std::min(lo, k);
            hi = std::max(hi, k);
        }
        dense_ = whole && hi - lo < double(t.rowCount()) + 1024;
        if (dense_) {
            lo_ = lo;
            flat_.resize(hi < lo ? 0 : size_t(hi - lo) + 1);
        }
    }
    Span& at(double k) { return dense_ ? flat_[size_t(k - lo_)] : map_[k == 0 ? 0.0 : k]; }
    const Span* find(double k) const {
        if (dense_) {
            if (!(k >= lo_) || k != std::trunc(k) || k - lo_ >= double(flat_.size())) return nullptr;
            return &flat_[size_t(k - lo_)];
        }
        const auto it = map_.find(k == 0 ? 0.0 : k);
        return it == map_.end() ? nullptr : &it->second;
    }

private:
    bool dense_ = false;
    double lo_ = 0;
    std::vector<Span> flat_;
    std::unordered_map<double, Span> map_;
};

bool sameBase(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Position, then base with null first.
bool before(const PriceRanges::Range& x, const PriceRanges::Range& y) {
    if (x.position != y.position) return x.position < y.position;
    if (std::isnan(x.base) || std::isnan(y.base)) return std::isnan(x.base) && !std::isnan(y.base);
    return x.base < y.base;
}

std::shared_ptr<const PriceRanges::Snapshot> readRanges(TableData& offers, TableData& bands,
                                                        TableData& lists) {
    const Column& offerKey = offers.column(columnOf(offers, "IND"));
    const Column& offerPosition = offers.column(columnOf(offers, "IND_PST"));
    const Column& offerList = offers.column(columnOf(offers, "IND_PRS"));
    const Column& bandOffer = bands.column(columnOf(bands, "IND_STF"));
    const Column& bandPrice = bands.column(columnOf(bands, "CST"));
    const Column& listKey = lists.column(columnOf(lists, "IND"));
    const Column& listBase = lists.column(columnOf(lists, "IND_BS"));

    // The bases of each price list, each once (two lists may share a key).
    std::unordered_map<double, std::vector<double>> basesOf;
    for (uint32_t r = 0; r < lists.rowCount(); ++r) {
        const double k = numberAt(listKey, r);
        if (lists.isDeleted(r) || std::isnan(k)) continue;
        std::vector<double>& v = basesOf[k == 0 ? 0.0 : k];
        const double b = numberAt(listBase, r);
        if (std::none_of(v.begin(), v.end(), [&](double x) { return sameBase(x, b); })) v.push_back(b);
    }
    SpansByKey spans(bands, bandOffer);
    for (uint32_t r = 0; r < bands.rowCount(); ++r) {
        const double k = numberAt(bandOffer, r);
        if (!bands.isDeleted(r) && !std::isnan(k)) spans.at(k).add(numberAt(bandPrice, r));
    }

    auto snap = std::make_shared<PriceRanges::Snapshot>();
    snap->positionWhole = offerPosition.whole;
    snap->baseWhole = listBase.whole;
    snap->priceWhole = bandPrice.whole;
    std::vector<PriceRanges::Range>& out = snap->ranges;
    for (uint32_t r = 0; r < offers.rowCount(); ++r) {
        if (offers.isDeleted(r)) continue;
        const double position = numberAt(offerPosition, r), key = numberAt(offerKey, r);
        const double list = numberAt(offerList, r);
        if (std::isnan(position) || std::isnan(key) || std::isnan(list)) continue;
        const Span* s = spans.find(key);
        if (!s || !s->any) continue;
        const auto bases = basesOf.find(list == 0 ? 0.0 : list);
        if (bases == basesOf.end()) continue;
        for (double b : bases->second) out.push_back({position, b, s->low, s->high});
    }
    std::sort(out.begin(), out.end(), before);
    size_t kept = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        if (kept > 0 && out[kept - 1].position == out[i].position &&
            sameBase(out[kept - 1].base, out[i].base)) {
            Span s{out[kept - 1].low, out[kept - 1].high, true};
            s.add(Span{out[i].low, out[i].high, true});
            out[kept - 1].low = s.low;
            out[kept - 1].high = s.high;
        } else {
            out[kept++] = out[i];
        }
    }
    out.resize(kept);
    out.shrink_to_fit();
    return snap;
}

// The virtual table over the current snapshot.
struct RangeTab {
    sqlite3_vtab base;
    PriceRanges* owner;
};

struct RangeCursor {
    sqlite3_vtab_cursor base;
    std::shared_ptr<const PriceRanges::Snapshot> snap;  // kept alive while the scan runs
    size_t at = 0, end = 0;
};

int fail(sqlite3_vtab* vt, const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return SQLITE_NOMEM;
    sqlite3_free(vt->zErrMsg);
    vt->zErrMsg = sqlite3_mprintf("%s", core::errorText(e).toUtf8().constData());
    return SQLITE_ERROR;
}

int xConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    const int rc =
        sqlite3_declare_vtab(db, "CREATE TABLE x(IND_PST INTEGER, IND_BS INTEGER, MAX_CST, MIN_CST)");
    if (rc != SQLITE_OK) return rc;
    auto* vt = static_cast<RangeTab*>(sqlite3_malloc(sizeof(RangeTab)));
    if (!vt) return SQLITE_NOMEM;
    std::memset(vt, 0, sizeof(RangeTab));
    vt->owner = static_cast<PriceRanges*>(aux);
    *out = &vt->base;
    return SQLITE_OK;
}

int xDisconnect(sqlite3_vtab* vt) {
    sqlite3_free(vt);
    return SQLITE_OK;
}

int xBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (c.usable && c.op == SQLITE_INDEX_CONSTRAINT_EQ && c.iColumn == 0) {
            info->aConstraintUsage[i].argvIndex = 1;  // checked again by SQLite (omit stays 0)
            info->idxNum = 1;
            info->estimatedRows = 10;
            info->estimatedCost = 12;
            return SQLITE_OK;
        }
    }
    info->idxNum = 0;
    info->estimatedRows = 1000000;
    info->estimatedCost = 1000000;
    return SQLITE_OK;
}

int xOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    return newCursor<RangeCursor>(out) ? SQLITE_OK : SQLITE_NOMEM;
}

int xFilter(sqlite3_vtab_cursor* c, int idxNum, const char*, int argc, sqlite3_value** argv) {
    auto* cur = reinterpret_cast<RangeCursor*>(c);
    cur->at = cur->end = 0;
    try {
        cur->snap = reinterpret_cast<RangeTab*>(c->pVtab)->owner->current();
    } catch (const std::exception& e) {
        return fail(c->pVtab, e);
    }
    const auto& ranges = cur->snap->ranges;
    if (idxNum == 0 || argc < 1) {
        cur->end = ranges.size();
        return SQLITE_OK;
    }
    const int type = sqlite3_value_numeric_type(argv[0]);
    if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return SQLITE_OK;
    const double key = sqlite3_value_double(argv[0]);
    const auto lo = std::lower_bound(ranges.begin(), ranges.end(), key,
                                     [](const PriceRanges::Range& r, double k) { return r.position < k; });
    auto hi = lo;
    while (hi != ranges.end() && hi->position == key) ++hi;
    cur->at = size_t(lo - ranges.begin());
    cur->end = size_t(hi - ranges.begin());
    return SQLITE_OK;
}

int xNext(sqlite3_vtab_cursor* c) {
    ++reinterpret_cast<RangeCursor*>(c)->at;
    return SQLITE_OK;
}

int xEof(sqlite3_vtab_cursor* c) {
    const auto* cur = reinterpret_cast<RangeCursor*>(c);
    return cur->at >= cur->end ? 1 : 0;
}

// A value as its table gives it: whole numbers of whole-number columns as integers.
void result(sqlite3_context* ctx, double v, bool whole) {
    if (std::isnan(v))
        sqlite3_result_null(ctx);
    else if (whole && v == std::trunc(v) && std::fabs(v) < 9.2e18)
        sqlite3_result_int64(ctx, sqlite3_int64(v));
    else
        sqlite3_result_double(ctx, v);
}

int xColumn(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int i) {
    const auto* cur = reinterpret_cast<RangeCursor*>(c);
    const PriceRanges::Snapshot& s = *cur->snap;
    const PriceRanges::Range& r = s.ranges[cur->at];
    switch (i) {
        case 0:
            result(ctx, r.position, s.positionWhole);
            break;
        case 1:
            result(ctx, r.base, s.baseWhole);
            break;
        case 2:
            result(ctx, r.high, s.priceWhole);
            break;
        default:
            result(ctx, r.low, s.priceWhole);
            break;
    }
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* c, sqlite3_int64* rowid) {
    *rowid = sqlite3_int64(reinterpret_cast<RangeCursor*>(c)->at);
    return SQLITE_OK;
}

sqlite3_module makeModule() {
    // Eponymous only, and read-only.
    return scanModule({xConnect, xBestIndex, xDisconnect, xOpen, deleteCursor<RangeCursor>, xFilter, xNext, xEof, xColumn, xRowid});
}

QStringView conditionOf(const QString& sql) {
    if (!sql.startsWith(kHead) || !sql.endsWith(kTail) || sql.size() <= kHead.size() + kTail.size())
        return {};
    return QStringView(sql).mid(kHead.size(), sql.size() - kHead.size() - kTail.size());
}

}  // namespace

void PriceRanges::attach(sqlite3* db) {
    static const sqlite3_module module = makeModule();
    if (sqlite3_create_module_v2(db, kTableName, &module, this, nullptr) != SQLITE_OK)
        throw core::DbError(QStringLiteral("Не удаётся подключить таблицу диапазонов цен: %1")
                                .arg(QString::fromUtf8(sqlite3_errmsg(db))));
}

bool PriceRanges::sources(Source out[3]) const {
    for (int i = 0; i < 3; ++i) {
        SqlEngine::Table* t = engine_.entry(QLatin1String(kSourceNames[i]));
        if (!t || t->broken) return false;
        t->data->ensureLoaded();
        out[i] = {t, t->changes};
    }
    const TableData& offers = *out[0].table->data;
    const TableData& bands = *out[1].table->data;
    const TableData& lists = *out[2].table->data;
    return numericColumn(offers, columnOf(offers, "IND"), false) &&
           numericColumn(offers, columnOf(offers, "IND_PST"), true) &&
           numericColumn(offers, columnOf(offers, "IND_PRS"), false) &&
           numericColumn(bands, columnOf(bands, "IND_STF"), false) &&
           numericColumn(bands, columnOf(bands, "CST"), false) && numericColumn(lists, columnOf(lists, "IND"), false) &&
           numericColumn(lists, columnOf(lists, "IND_BS"), true);
}

std::shared_ptr<const PriceRanges::Snapshot> PriceRanges::current() {
    // A table, once known to the engine, stays the same object while the engine lives.
    bool fresh = snapshot_ != nullptr;
    for (int i = 0; i < 3 && fresh; ++i)
        fresh = !kept_[i].table->broken && kept_[i].table->changes == kept_[i].changes;
    if (fresh) return snapshot_;
    snapshot_.reset();
    Source now[3];
    if (!sources(now))
        throw core::DbError(
            QStringLiteral("Таблицы предложений, цен и прайсов не годятся для диапазонов цен."));
    snapshot_ = readRanges(*now[0].table->data, *now[1].table->data, *now[2].table->data);
    std::copy(now, now + 3, kept_);
    return snapshot_;
}

std::optional<PriceRanges::Condition> PriceRanges::condition(const QString& sql) {
    const QStringView text = conditionOf(sql);
    if (text.isEmpty()) return std::nullopt;
    return servedCondition(text);
}

QString PriceRanges::rewrite(const QString& sql) {
    if (!condition(sql) || !engine_.entry(QStringLiteral("TBL_PSTS"))) return {};
    try {
        current();
    } catch (const std::exception&) {
        return {};  // the plain statement runs and reports whatever is wrong
    }
    return kKeptHead + conditionOf(sql).toString() + kTail;
}

}  // namespace store
