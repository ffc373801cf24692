// The catalogue's positions statement answered without SQLite: the positions of a group or
// of a list of keys, each with the lowest and highest of its kept price ranges (on chosen
// bases only when the statement names them), sorted by name. The rows are the ones SQLite
// gives for the rewritten statement, in the same order: grouped by key, then ordered by the
// text collation, names that compare equal in key order, null names first.

#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>

#include "core/errors.h"
#include "store/engine_table.h"
#include "store/price_range.h"
#include "store/text_collation.h"

namespace store {
namespace {

// A finished result held in memory, read row by row like a statement's.
class AnsweredRows final : public RecordSet {
public:
    static constexpr int kColumns = 4;
    using Row = std::array<core::Value, kColumns>;

    AnsweredRows(std::vector<Row> rows, const QString& sql) : rows_(std::move(rows)), sql_(sql) {}

    bool isOpen() const override { return open_; }
    bool eof() const override { return !open_ || at_ >= rows_.size(); }
    core::Value field(const QString& name) const override {
        if (!open_) throw core::DbError(QStringLiteral("Набор записей закрыт (поле %1).").arg(name));
        int i = 0;
        while (i < kColumns && names()[i].compare(name, Qt::CaseInsensitive) != 0) ++i;
        if (i == kColumns) throw core::DbError(QStringLiteral("В результате нет поля %1: %2").arg(name, sql_));
        if (at_ >= rows_.size())
            throw core::DbError(QStringLiteral("Нет текущей записи (поле %1): %2").arg(name, sql_));
        return rows_[at_][size_t(i)];
    }
    void moveNext() override {
        if (eof()) throw core::DbError(QStringLiteral("Нет текущей записи, от которой перейти: %1").arg(sql_));
        ++at_;
    }
    void close() override { open_ = false; }
    QStringList fieldNames() const override { return names(); }

private:
    static const QStringList& names() {
        static const QStringList n = {QStringLiteral("IND"), QStringLiteral("PST_NM"), QStringLiteral("MAX_CST"),
                                      QStringLiteral("MIN_CST")};
        return n;
    }
    std::vector<Row> rows_;
    QString sql_;  // for messages
    size_t at_ = 0;
    bool open_ = true;
};

// A number as the engine's virtual tables give it: whole numbers of whole-number columns
// as integers, which a result set reads as 32-bit integers where they fit.
core::Value valueOf(double v, bool whole) {
    if (std::isnan(v)) return core::Value::null();
    if (whole && v == std::trunc(v) && v >= double(INT32_MIN) && v <= double(INT32_MAX))
        return core::Value::int32(int32_t(v));
    return core::Value::dbl(v);
}

core::Value keyValue(const Column& c, uint32_t row) {
    if (c.storage == Storage::Int32) return core::Value::int32(c.ints[row]);
    return valueOf(c.doubles[row], c.whole);
}

struct Found {
    uint32_t row;
    double low, high;
    std::string_view name;
    bool nullName;
};

// Null names first, then by the text collation.
bool byName(const Found& a, const Found& b) {
    if (a.nullName || b.nullName) return a.nullName && !b.nullName;
    return compareText(nullptr, int(a.name.size()), a.name.data(), int(b.name.size()), b.name.data()) < 0;
}

// From this many rows on, an answer sorts by the names' ranks.
constexpr size_t kRankedAnswer = 1024;

}  // namespace

void PriceRanges::rankNames(Positions& p) const {
    const TableData& data = *p.source.table->data;
    const Column& names = data.column(p.name);
    std::vector<Found> all;
    all.reserve(p.byKey.size());
    for (const auto& kr : p.byKey) {
        const uint64_t ref = names.texts[kr.second];
        const bool nullName = ref == TextArena::kNull;
        all.push_back({kr.second, 0, 0, nullName ? std::string_view() : data.arena().get(ref), nullName});
    }
    std::sort(all.begin(), all.end(), byName);
    p.nameRank.assign(data.rowCount(), 0);
    uint32_t rank = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (i > 0 && byName(all[i - 1], all[i])) ++rank;
        p.nameRank[all[i].row] = rank;
    }
}

const PriceRanges::Positions* PriceRanges::positions() {
    SqlEngine::Table* t = engine_.entry(QStringLiteral("TBL_PSTS"));
    if (!t || t->broken) return nullptr;
    Positions& p = positions_;
    if (p.source.table == t && p.source.changes == t->changes) return p.usable ? &p : nullptr;
    t->data->ensureLoaded();
    const TableData& data = *t->data;
    p = Positions{};
    p.source = {t, t->changes};
    p.key = columnOf(data, "IND");
    p.name = columnOf(data, "PST_NM");
    p.group = columnOf(data, "IND_GRP");
    if (!numericColumn(data, p.key, false) || p.name < 0 || data.column(p.name).storage != Storage::Text)
        return nullptr;
    const Column& key = data.column(p.key);
    for (uint32_t r = 0; r < data.rowCount(); ++r) {
        const double k = numberAt(key, r);
        if (!data.isDeleted(r) && !std::isnan(k)) p.byKey.emplace_back(k, r);
    }
    std::sort(p.byKey.begin(), p.byKey.end());
    // Two rows of one key would be grouped together by the statement: left to SQLite.
    p.usable = std::adjacent_find(p.byKey.begin(), p.byKey.end(),
                                  [](const auto& a, const auto& b) { return a.first == b.first; }) ==
               p.byKey.end();
    if (!p.usable) p.byKey.clear();
    return p.usable ? &p : nullptr;
}

std::unique_ptr<RecordSet> PriceRanges::answer(const QString& sql) {
    const std::optional<Condition> cond = condition(sql);
    if (!cond) return nullptr;
    const Positions* pos = positions();
    if (!pos || (cond->group && !numericColumn(*pos->source.table->data, pos->group, false))) return nullptr;
    std::shared_ptr<const Snapshot> snap;
    try {
        snap = current();
    } catch (const std::exception&) {
        return nullptr;  // the plain statement runs and reports whatever is wrong
    }
    const TableData& data = *pos->source.table->data;

    // The candidate rows in key order, each once.
    std::vector<std::pair<double, uint32_t>> rows;
    if (cond->group) {
        const Column& group = data.column(pos->group);
        for (const auto& kr : pos->byKey)
            if (numberAt(group, kr.second) == *cond->group) rows.push_back(kr);
    } else {
        std::vector<double> keys = cond->keys;
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        auto from = pos->byKey.begin();
        for (double k : keys) {
            from = std::lower_bound(from, pos->byKey.end(), k,
                                    [](const auto& kr, double v) { return kr.first < v; });
            if (from == pos->byKey.end()) break;
            if (from->first == k) rows.push_back(*from);
        }
    }

    std::vector<double> bases;
    if (cond->bases) {
        bases = *cond->bases;
        std::sort(bases.begin(), bases.end());
    }
    const Column& names = data.column(pos->name);
    const auto& ranges = snap->ranges;
    std::vector<Found> found;
    auto at = ranges.begin();
    for (const auto& [key, row] : rows) {
        at = std::lower_bound(at, ranges.end(), key, [](const Range& r, double k) { return r.position < k; });
        double low = std::nan(""), high = std::nan("");
        bool any = false;
        for (auto r = at; r != ranges.end() && r->position == key; ++r) {
            if (cond->bases && (std::isnan(r->base) || !std::binary_search(bases.begin(), bases.end(), r->base)))
                continue;
            any = true;
            if (!std::isnan(r->low) && (std::isnan(low) || r->low < low)) low = r->low;
            if (!std::isnan(r->high) && (std::isnan(high) || r->high > high)) high = r->high;
        }
        if (!any) continue;
        const uint64_t ref = names.texts[row];
        const bool nullName = ref == TextArena::kNull;
        found.push_back({row, low, high, nullName ? std::string_view() : data.arena().get(ref), nullName});
    }
    if (found.size() >= kRankedAnswer) {
        if (pos->nameRank.empty()) rankNames(positions_);
        const std::vector<uint32_t>& rank = pos->nameRank;
        std::stable_sort(found.begin(), found.end(),
                         [&](const Found& a, const Found& b) { return rank[a.row] < rank[b.row]; });
    } else {
        std::stable_sort(found.begin(), found.end(), byName);
    }

    std::vector<AnsweredRows::Row> out;
    out.reserve(found.size());
    const Column& key = data.column(pos->key);
    for (const Found& f : found) {
        out.push_back({keyValue(key, f.row),
                       f.nullName ? core::Value::null()
                                  : core::Value::text(QString::fromUtf8(f.name.data(), qsizetype(f.name.size()))),
                       valueOf(f.high, snap->priceWhole), valueOf(f.low, snap->priceWhole)});
    }
    return std::make_unique<AnsweredRows>(std::move(out), sql);
}

}  // namespace store
