#include "data/demo_data.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "demo_catalogue.h"

namespace demodata {

namespace {

// splitmix64: tiny, fast and the same on every platform and library version, which
// the standard distributions are not.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [lo, hi].
    int64_t range(int64_t lo, int64_t hi) {
        const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
        return lo + static_cast<int64_t>(next() % span);
    }
    bool chance(double p) { return unit() < p; }
    template <class T>
    void shuffle(std::vector<T>& v) {
        for (size_t i = v.size(); i > 1; --i)
            std::swap(v[i - 1], v[static_cast<size_t>(range(0, static_cast<int64_t>(i) - 1))]);
    }
    template <class T>
    const T& pick(const std::vector<T>& v) {
        return v[static_cast<size_t>(range(0, static_cast<int64_t>(v.size()) - 1))];
    }

private:
    uint64_t s_;
};

// Keys in the central database grow with the occasional gap left by deleted records.
class KeySource {
public:
    KeySource(Rng& rng, int64_t first, double gapChance) : rng_(rng), next_(first), gap_(gapChance) {}
    int64_t take() {
        if (rng_.chance(gap_)) next_ += rng_.range(1, 12);
        return next_++;
    }

private:
    Rng& rng_;
    int64_t next_;
    double gap_;
};

struct Band {
    double from, to;  // tonnes; an upper limit of 0 means no upper limit
};

// Quantity tiers as suppliers publish them: a handful of common ladders, a single
// price for any quantity, minimum order sizes, fractional limits and a ladder with a gap.
const std::vector<std::vector<Band>>& schemes() {
    static const std::vector<std::vector<Band>> s = {
        {{0, 0}},
        {{0, 1}, {1, 5}, {5, 10}, {10, 0}},
        {{0, 5}, {5, 10}, {10, 0}},
        {{0, 0.5}, {0.5, 3}, {3, 10}, {10, 0}},
        {{0, 1}, {1, 3}, {3, 5}, {5, 15}, {15, 0}},
        {{0, 2}, {2, 5}, {5, 20}, {20, 0}},
        {{0, 1}, {1, 5}, {10, 20}, {20, 0}},
        {{0, 3}, {3, 7}, {7, 0}},
        {{0, 10}, {10, 0}},
        {{0.5, 5}, {5, 0}},
        {{1, 0}},
        {{0, 1}, {1, 2}, {2, 5}, {5, 10}, {10, 25}, {25, 50}, {50, 0}},
        {{0, 0.3}, {0.3, 1}, {1, 5}, {5, 0}},
        {{0, 1.5}, {1.5, 6}, {6, 12}, {12, 0}},
        {{0, 4}, {4, 8}, {8, 0}},
        {{0, 1}, {1, 5}, {5, 10}, {10, 20}},
        {{0, 0.25}, {0.25, 2.5}, {2.5, 30}, {30, 0}},
    };
    return s;
}
// The ladders a supplier typically uses for its whole price list.
const std::vector<int> kCommonSchemes = {1, 1, 1, 2, 2, 3, 4, 5, 7, 8, 13, 14};

// Supplier lines that nobody has mapped to a catalogue position yet.
const std::vector<const char*> kUnmapped = {
    "Сетка кладочная 50х50х4",
    "Профнастил С8 0,5 оцинк.",
    "Проволока вязальная 1,2 мм",
    "Металлолом 3А",
    "Резка металла, т",
    "Доставка по городу",
    "Сетка рабица 50х50 1,6 мм",
    "Электроды МР-3 d3",
    "Шестигранник 17 ст35",
    "Профнастил НС35 RAL 3005",
    "Отвод 57х3,5 ГОСТ 17375-2001",
    "Заглушка эллиптическая 89х4",
};

// ---- UTF-8 word helpers (names are plain Russian text) -------------------------

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size()))
        s.replace(p, from.size(), to);
    return s;
}

// Upper-cases the first letter when it is a lower-case Cyrillic letter.
std::string capitalise(std::string s) {
    if (s.size() < 2) return s;
    auto b0 = static_cast<unsigned char>(s[0]), b1 = static_cast<unsigned char>(s[1]);
    if (b0 == 0xD0 && b1 >= 0xB0 && b1 <= 0xBF) {
        s[1] = static_cast<char>(b1 - 0x20);
    } else if (b0 == 0xD1 && b1 >= 0x80 && b1 <= 0x8F) {
        s[0] = static_cast<char>(0xD0);
        s[1] = static_cast<char>(b1 + 0x20);
    }
    return s;
}

// Lower-cases the first letter when it is an upper-case Cyrillic letter.
std::string lowerFirst(std::string s) {
    if (s.size() < 2) return s;
    auto b0 = static_cast<unsigned char>(s[0]), b1 = static_cast<unsigned char>(s[1]);
    if (b0 == 0xD0 && b1 >= 0x90 && b1 <= 0x9F) {
        s[1] = static_cast<char>(b1 + 0x20);
    } else if (b0 == 0xD0 && b1 >= 0xA0 && b1 <= 0xAF) {
        s[0] = static_cast<char>(0xD1);
        s[1] = static_cast<char>(b1 - 0x20);
    }
    return s;
}

std::string join(std::initializer_list<std::string> parts, const char* sep = " ") {
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += sep;
        out += p;
    }
    return out;
}

// The text between «» of an organisation name; names in other quotes stay whole.
std::string shortName(const std::string& org) {
    const std::string open = "«", close = "»";
    const size_t a = org.find(open), b = org.rfind(close);
    if (a == std::string::npos || b == std::string::npos || b < a) return org;
    return org.substr(a + open.size(), b - a - open.size());
}

// ---- Qt SQL plumbing ---------------------------------------------------------------

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The open central database the generator writes to. An SQLite file takes prepared
// inserts with bound values; a server gets a few hundred rows per statement, as
// literals, since a round trip per row would dominate the run.
class Db {
public:
    explicit Db(QSqlDatabase db) : db_(std::move(db)), literalRows_(db_.driverName() != QLatin1String("QSQLITE")) {}
    void exec(const std::string& sql) {
        QSqlQuery q(db_);
        if (!q.exec(qs(sql))) throw std::runtime_error(q.lastError().text().toStdString() + " in: " + sql);
    }
    void begin() {
        if (!db_.transaction()) throw std::runtime_error(db_.lastError().text().toStdString());
    }
    void commit() {
        if (!failure_.empty()) throw std::runtime_error(failure_);
        if (!db_.commit()) throw std::runtime_error(db_.lastError().text().toStdString());
    }
    // A failure found where nothing may throw (a flush when an insert goes out of scope);
    // the commit reports it.
    void fail(const std::string& why) {
        if (failure_.empty()) failure_ = why;
    }
    QSqlDatabase& handle() { return db_; }
    bool literalRows() const { return literalRows_; }

private:
    QSqlDatabase db_;
    bool literalRows_;
    std::string failure_;
};

// An INSERT ("INSERT INTO t(a, b) VALUES(?,?)") whose values are given in column order.
class Insert {
public:
    Insert(Db& db, const std::string& sql) : db_(db), q_(db.handle()) {
        if (db_.literalRows()) {
            head_ = sql.substr(0, sql.find("VALUES") + 6);
        } else if (!q_.prepare(qs(sql))) {
            throw std::runtime_error(q_.lastError().text().toStdString() + " in: " + sql);
        }
    }
    ~Insert() {
        try {
            flush();
        } catch (const std::exception& e) {
            db_.fail(e.what());
        }
    }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;
    Insert& i(int64_t v) {
        if (!db_.literalRows()) q_.addBindValue(static_cast<qlonglong>(v));
        else add(std::to_string(v));
        return *this;
    }
    Insert& d(double v) {
        if (!db_.literalRows()) {
            q_.addBindValue(v);
        } else {
            // The shortest text that reads back as the same double.
            char buf[32];
            const auto r = std::to_chars(buf, buf + sizeof buf, v);
            add(std::string(buf, r.ptr));
        }
        return *this;
    }
    Insert& t(const std::string& v) {
        if (!db_.literalRows()) {
            q_.addBindValue(qs(v));
        } else {
            std::string lit = "'";
            for (char c : v) lit += c == '\'' ? std::string("''") : std::string(1, c);
            add(lit + "'");
        }
        return *this;
    }
    void run() {
        if (db_.literalRows()) {
            rows_ += (rows_.empty() ? "(" : ",(") + row_ + ")";
            row_.clear();
            if (++pending_ == kRowsPerStatement) flush();
            return;
        }
        if (!q_.exec()) throw std::runtime_error(q_.lastError().text().toStdString());
    }

private:
    static constexpr int kRowsPerStatement = 500;
    void add(const std::string& v) { row_ += (row_.empty() ? "" : ",") + v; }
    void flush() {
        if (pending_ == 0) return;
        const std::string sql = head_ + rows_;
        rows_.clear();
        pending_ = 0;
        db_.exec(sql);
    }

    Db& db_;
    QSqlQuery q_;
    std::string head_, rows_, row_;
    int pending_ = 0;
};

// ---- The generator -------------------------------------------------------------------

struct PriceList {
    int64_t ind;
    std::vector<bool> types;  // which product types the list carries
    int scheme;               // the supplier's usual ladder
    double markup;            // the supplier's price level against the market
    int rounding;             // 0: to 10 roubles, 1: to 100 roubles, 2: to the kopeck
    double weight;            // how many offers the list tends to carry
};

struct Position {
    int64_t ind = 0;
    int64_t group = 0;
    size_t type = 0;
    const catalogue::Group* def = nullptr;
    std::string name;
    std::string size, grade, standard, length;
    double price = 0;  // market price per tonne
    bool heavy = false;
    int heroRank = 0;  // order of the best-sellers in the catalogue
};

struct Offer {
    int64_t position;  // 0 or -1 for a line not tied to a position
    size_t list;       // index into the price lists
    std::string toOut;
    int scheme;
    double price;
};

class Generator {
public:
    Generator(Db& db, double scale) : db_(db), scale_(scale), rng_(0x5A3E10C0FFEEull) {}

    Summary run() {
        // One transaction: a server's tables are replaced all at once or not at all.
        db_.begin();
        createTables();
        writeTypesAndGroups();
        writePlaces();
        writePriceLists();
        writePositions();
        writeOffers();
        db_.commit();
        createIndexes();
        return sum_;
    }

private:
    void createTables() {
        static const char* const tables[][2] = {
            {"tbl_types", "ind INTEGER PRIMARY KEY, type_name TEXT"},
            {"tbl_groups", "ind INTEGER PRIMARY KEY, ind_type INTEGER, group_name TEXT"},
            {"tbl_positions", "ind INTEGER PRIMARY KEY, ind_group INTEGER, full_name TEXT"},
            {"tbl_regions", "ind INTEGER PRIMARY KEY, region_name TEXT"},
            {"tbl_cities", "ind INTEGER PRIMARY KEY, ind_region INTEGER, city_name TEXT"},
            {"tbl_organizations", "ind INTEGER PRIMARY KEY, organization_name TEXT"},
            {"tbl_bases", "ind INTEGER PRIMARY KEY, ind_city INTEGER, ind_organization INTEGER, base_name TEXT"},
            {"tbl_prices", "ind INTEGER PRIMARY KEY, ind_base INTEGER, price_name TEXT"},
            {"tbl_stuffs", "ind INTEGER PRIMARY KEY, ind_position INTEGER, ind_price INTEGER, to_out TEXT"},
            // DOUBLE PRECISION: a server's REAL would be a single-precision float.
            {"tbl_costs", "ind INTEGER PRIMARY KEY, ind_stuff INTEGER, val_from DOUBLE PRECISION, "
                          "val_to DOUBLE PRECISION, cost DOUBLE PRECISION"},
        };
        for (const auto& t : tables) {
            db_.exec(std::string("DROP TABLE IF EXISTS ") + t[0]);
            db_.exec(std::string("CREATE TABLE ") + t[0] + "(" + t[1] + ")");
        }
    }

    void createIndexes() {
        for (const char* sql : {"CREATE INDEX ix_groups_type ON tbl_groups(ind_type)",
                                "CREATE INDEX ix_positions_group ON tbl_positions(ind_group)",
                                "CREATE INDEX ix_stuffs_position ON tbl_stuffs(ind_position)",
                                "CREATE INDEX ix_stuffs_price ON tbl_stuffs(ind_price)",
                                "CREATE INDEX ix_costs_stuff ON tbl_costs(ind_stuff)", "ANALYZE"})
            db_.exec(sql);
    }

    void writeTypesAndGroups() {
        Insert ti(db_, "INSERT INTO tbl_types(ind, type_name) VALUES(?,?)");
        Insert gi(db_, "INSERT INTO tbl_groups(ind, ind_type, group_name) VALUES(?,?,?)");
        KeySource typeKeys(rng_, 1, 0.1), groupKeys(rng_, 1, 0.15);
        const auto& types = catalogue::types();
        for (size_t t = 0; t < types.size(); ++t) {
            const int64_t tk = typeKeys.take();
            std::string name = types[t].name;
            if (name == "Квадрат") name += " ";  // a stray blank typed in the central database
            ti.i(tk).t(name).run();
            ++sum_.types;
            for (const catalogue::Group& g : types[t].groups) {
                const int64_t gk = groupKeys.take();
                std::string gname = g.name;
                if (gname == "Уголок гнутый") gname += " ";
                gi.i(gk).i(tk).t(gname).run();
                ++sum_.groups;
                groups_.push_back({gk, t, &g});
            }
        }
    }

    void writePlaces() {
        Insert ri(db_, "INSERT INTO tbl_regions(ind, region_name) VALUES(?,?)");
        Insert ci(db_, "INSERT INTO tbl_cities(ind, ind_region, city_name) VALUES(?,?,?)");
        Insert oi(db_, "INSERT INTO tbl_organizations(ind, organization_name) VALUES(?,?)");
        Insert bi(db_, "INSERT INTO tbl_bases(ind, ind_city, ind_organization, base_name) VALUES(?,?,?,?)");
        KeySource regionKeys(rng_, 1, 0.1), cityKeys(rng_, 1, 0.1), orgKeys(rng_, 1, 0.1),
            baseKeys(rng_, 1, 0.1);

        std::vector<int64_t> cities;
        std::vector<double> cityWeights;
        for (const catalogue::Region& r : catalogue::regions()) {
            const int64_t rk = regionKeys.take();
            ri.i(rk).t(r.name).run();
            ++sum_.regions;
            for (size_t c = 0; c < r.cities.size(); ++c) {
                const int64_t ck = cityKeys.take();
                ci.i(ck).i(rk).t(r.cities[c]).run();
                ++sum_.cities;
                cities.push_back(ck);
                const std::string name = r.cities[c];
                cityWeights.push_back(name == "Москва" ? 6 : name == "Санкт-Петербург" ? 4 : c == 0 ? 2 : 1);
            }
        }

        std::vector<int64_t> orgs;
        for (const char* o : catalogue::organizations()) {
            orgs.push_back(orgKeys.take());
            oi.i(orgs.back()).t(o).run();
            ++sum_.organizations;
        }

        // Every organisation has a base; the bigger ones have a few, each at its own site.
        const int kBases = 40;
        std::vector<std::vector<size_t>> sitesUsed(orgs.size());
        for (int b = 0; b < kBases; ++b) {
            const size_t org = b < static_cast<int>(orgs.size()) ? static_cast<size_t>(b)
                                                                 : static_cast<size_t>(rng_.range(0, 7));
            size_t site = 0;
            do {
                site =
                    static_cast<size_t>(rng_.range(0, static_cast<int64_t>(catalogue::sites().size()) - 1));
            } while (std::find(sitesUsed[org].begin(), sitesUsed[org].end(), site) != sitesUsed[org].end());
            sitesUsed[org].push_back(site);
            std::string name =
                shortName(catalogue::organizations()[org]) + " (" + catalogue::sites()[site] + ")";
            if (b == 17) name += "  ";
            const int64_t bk = baseKeys.take();
            bi.i(bk).i(cities[weightedPick(cityWeights)]).i(orgs[org]).t(name).run();
            ++sum_.bases;
            bases_.push_back({bk, org});
        }
    }

    void writePriceLists() {
        Insert pi(db_, "INSERT INTO tbl_prices(ind, ind_base, price_name) VALUES(?,?,?)");
        KeySource keys(rng_, 1, 0.2);
        const size_t nTypes = catalogue::types().size();
        for (const BaseInfo& base : bases_) {
            const double r = rng_.unit();
            const int lists = r < 0.5 ? 1 : r < 0.85 ? 2 : 3;
            for (int j = 0; j < lists; ++j) {
                PriceList pl;
                pl.ind = keys.take();
                pl.types.assign(nTypes, false);
                if (lists == 1 && rng_.chance(0.4)) {
                    pl.types.assign(nTypes, true);
                } else {
                    const int64_t n = lists == 1 ? rng_.range(3, 6) : rng_.range(2, 5);
                    for (int64_t k = 0; k < n; ++k)
                        pl.types[static_cast<size_t>(rng_.range(0, static_cast<int64_t>(nTypes) - 1))] = true;
                }
                pl.scheme = rng_.pick(kCommonSchemes);
                pl.markup = 0.96 + 0.08 * rng_.unit();
                const double rr = rng_.unit();
                pl.rounding = rr < 0.6 ? 0 : rr < 0.8 ? 1 : 2;
                pl.weight = 0.4 + 2.0 * rng_.unit() * rng_.unit();
                std::string name = "Прайс-лист " + shortName(catalogue::organizations()[base.org]);
                if (lists > 1) name += " №" + std::to_string(j + 1);
                name += " от " + twoDigits(rng_.range(1, 28)) + "." + twoDigits(rng_.range(1, 12)) + ".2024";
                pi.i(pl.ind).i(base.key).t(name).run();
                ++sum_.prices;
                lists_.push_back(pl);
            }
        }
        // No product type may go without a supplier.
        for (size_t t = 0; t < nTypes; ++t) {
            int carriers = 0;
            for (const PriceList& pl : lists_) carriers += pl.types[t] ? 1 : 0;
            for (; carriers < 4; ++carriers)
                lists_[static_cast<size_t>(rng_.range(0, static_cast<int64_t>(lists_.size()) - 1))].types[t] =
                    true;
        }
    }

    void writePositions() {
        const int64_t total = std::max<int64_t>(3, std::llround(2000.0 * scale_));
        // Share the positions among the groups by weight; the best-sellers' groups get at least one.
        double weightSum = 0;
        for (const GroupInfo& g : groups_) weightSum += g.def->weight;
        std::vector<int64_t> perGroup(groups_.size());
        int64_t given = 0;
        std::vector<double> weights;
        for (size_t g = 0; g < groups_.size(); ++g) {
            perGroup[g] = static_cast<int64_t>(
                std::floor(static_cast<double>(total) * groups_[g].def->weight / weightSum));
            given += perGroup[g];
            weights.push_back(groups_[g].def->weight);
        }
        for (; given < total; ++given) ++perGroup[weightedPick(weights)];
        for (size_t g = 0; g < groups_.size(); ++g) {
            if (groups_[g].def->hero && perGroup[g] == 0) {
                const auto biggest = std::max_element(perGroup.begin(), perGroup.end());
                --*biggest;
                perGroup[g] = 1;
            }
        }

        for (size_t g = 0; g < groups_.size(); ++g) namePositions(g, perGroup[g]);

        rng_.shuffle(positions_);
        KeySource keys(rng_, 1, 0.03);
        Insert ins(db_, "INSERT INTO tbl_positions(ind, ind_group, full_name) VALUES(?,?,?)");
        std::vector<std::pair<int, int64_t>> heroes;
        for (Position& p : positions_) {
            p.ind = keys.take();
            std::string stored = p.name;
            if (!p.heavy) {
                if (rng_.chance(0.003))
                    stored += "  ";
                else if (rng_.chance(0.002))
                    stored = " " + stored;
            }
            ins.i(p.ind).i(p.group).t(stored).run();
            ++sum_.positions;
            if (p.heavy) heroes.push_back({p.heroRank, p.ind});
        }
        std::sort(heroes.begin(), heroes.end());
        for (const auto& h : heroes) sum_.heavyPositions.push_back(h.second);
        for (const Position& p : positions_)
            if (p.heavy && p.heroRank == 0) sum_.heavyGroup = p.group;
    }

    // Builds the names of a group's positions from every combination of its parts, in
    // random order, the best-seller first; a group larger than its combinations repeats
    // them with a condition added.
    void namePositions(size_t g, int64_t count) {
        const catalogue::Group& def = *groups_[g].def;
        const auto part = [](const std::vector<const char*>& v, size_t i) {
            return v.empty() ? std::string() : std::string(v[i % v.size()]);
        };
        struct Combo {
            size_t s, gr, st, l;
        };
        std::vector<Combo> combos;
        for (size_t s = 0; s < std::max<size_t>(1, def.sizes.size()); ++s)
            for (size_t gr = 0; gr < std::max<size_t>(1, def.grades.size()); ++gr)
                for (size_t st = 0; st < std::max<size_t>(1, def.standards.size()); ++st)
                    for (size_t l = 0; l < std::max<size_t>(1, def.lengths.size()); ++l)
                        combos.push_back({s, gr, st, l});
        rng_.shuffle(combos);
        if (def.hero) {
            for (size_t i = 0; i < combos.size(); ++i) {
                const Combo& c = combos[i];
                if (join({def.prefix, part(def.sizes, c.s), part(def.grades, c.gr), part(def.standards, c.st),
                          part(def.lengths, c.l)}) == def.hero) {
                    std::swap(combos[0], combos[i]);
                    break;
                }
            }
        }
        const auto& conditions = catalogue::conditions();
        for (int64_t k = 0; k < count; ++k) {
            const Combo& c = combos[static_cast<size_t>(k) % combos.size()];
            const int64_t round = k / static_cast<int64_t>(combos.size());
            Position p;
            p.group = groups_[g].key;
            p.type = groups_[g].type;
            p.def = &def;
            p.size = part(def.sizes, c.s);
            p.grade = part(def.grades, c.gr);
            p.standard = part(def.standards, c.st);
            p.length = part(def.lengths, c.l);
            p.name = join({def.prefix, p.size, p.grade, p.standard, p.length});
            if (round > 0)
                p.name += " " + std::string(conditions[static_cast<size_t>(round - 1) % conditions.size()]);
            p.price = def.priceLo + (def.priceHi - def.priceLo) * rng_.unit();
            if (def.hero && k == 0) {
                p.heavy = true;
                p.heroRank = heroCount_++;
            }
            positions_.push_back(std::move(p));
        }
    }

    void writeOffers() {
        const size_t nTypes = catalogue::types().size();
        std::vector<std::vector<size_t>> carriers(nTypes);
        std::vector<std::vector<double>> carrierWeights(nTypes);
        std::vector<double> allWeights;
        for (size_t l = 0; l < lists_.size(); ++l) {
            allWeights.push_back(lists_[l].weight);
            for (size_t t = 0; t < nTypes; ++t) {
                if (lists_[l].types[t]) {
                    carriers[t].push_back(l);
                    carrierWeights[t].push_back(lists_[l].weight);
                }
            }
        }
        const int nSchemes = static_cast<int>(schemes().size());

        std::vector<Offer> offers;
        std::vector<size_t> chosen;
        for (const Position& p : positions_) {
            int64_t k = 0;
            if (p.heavy)
                k = rng_.range(190, 210);
            else if (!rng_.chance(0.08))
                k = 1 + static_cast<int64_t>(std::floor(33.0 * cube(rng_.unit())));
            chosen.clear();
            for (int64_t j = 0; j < k; ++j) {
                size_t list = 0;
                if (p.heavy) {
                    list = weightedPick(allWeights);
                } else {
                    // A supplier rarely lists the same product twice: try a few times for a new one.
                    for (int attempt = 0; attempt < 4; ++attempt) {
                        list = carriers[p.type][weightedPick(carrierWeights[p.type])];
                        if (std::find(chosen.begin(), chosen.end(), list) == chosen.end()) break;
                    }
                }
                chosen.push_back(list);
                int scheme = lists_[list].scheme;
                const double r = rng_.unit();
                if (p.heavy)
                    scheme = static_cast<int>(rng_.range(0, nSchemes - 1));
                else if (r >= 0.9)
                    scheme = static_cast<int>(rng_.range(0, nSchemes - 1));
                else if (r >= 0.8)
                    scheme = 0;
                const double price = p.price * lists_[list].markup * (0.98 + 0.04 * rng_.unit());
                offers.push_back({p.ind, list, supplierWording(p), scheme, price});
                if (rng_.chance(0.004)) {
                    offers.push_back({rng_.chance(0.5) ? 0 : -1, list, rng_.pick(kUnmapped),
                                      lists_[list].scheme, 40000 + 40000 * rng_.unit()});
                }
            }
        }

        // Offers arrive one price list at a time, so their keys run in blocks per list.
        std::vector<size_t> uploadRank(lists_.size());
        for (size_t l = 0; l < lists_.size(); ++l) uploadRank[l] = l;
        rng_.shuffle(uploadRank);
        std::stable_sort(offers.begin(), offers.end(), [&](const Offer& a, const Offer& b) {
            return uploadRank[a.list] < uploadRank[b.list];
        });

        Insert si(db_, "INSERT INTO tbl_stuffs(ind, ind_position, ind_price, to_out) VALUES(?,?,?,?)");
        Insert ci(db_, "INSERT INTO tbl_costs(ind, ind_stuff, val_from, val_to, cost) VALUES(?,?,?,?,?)");
        KeySource stuffKeys(rng_, 1, 0.02), costKeys(rng_, 1, 0.01);
        for (const Offer& o : offers) {
            const int64_t sk = stuffKeys.take();
            si.i(sk).i(o.position).i(lists_[o.list].ind).t(o.toOut).run();
            ++sum_.stuffs;
            const bool untied = o.position <= 0;
            sum_.untiedStuffs += untied ? 1 : 0;
            // Smaller quantities cost more: each step down the ladder adds half a per cent to two per cent.
            const std::vector<Band>& bands = schemes()[static_cast<size_t>(o.scheme)];
            const double step = 0.005 + 0.015 * rng_.unit();
            for (size_t i = 0; i < bands.size(); ++i) {
                const double cost =
                    roundPrice(o.price * (1.0 + step * static_cast<double>(bands.size() - 1 - i)),
                               lists_[o.list].rounding);
                ci.i(costKeys.take()).i(sk).d(bands[i].from).d(bands[i].to).d(cost).run();
                ++sum_.costs;
                sum_.untiedCosts += untied ? 1 : 0;
            }
        }
    }

    // The supplier's own wording of a position: abbreviations, another word order, other
    // multiplication signs, now and then stray blanks or a remark in quotes.
    std::string supplierWording(const Position& p) {
        const catalogue::Group& d = *p.def;
        std::string s;
        switch (rng_.range(0, 6)) {
            case 0:
                s = join({d.prefix, p.size, p.grade, p.standard, p.length});
                break;
            case 1:
                s = join({d.abbrev, p.size, p.grade});
                break;
            case 2:
                s = join({d.prefix, p.grade, p.size, replaceAll(p.length, " м", "м")});
                break;
            case 3:
                s = join({lowerFirst(d.prefix), replaceAll(p.size, "х", "*"), p.grade, p.standard});
                break;
            case 4:
                s = join({p.size, d.abbrev, capitalise(p.grade)});
                break;
            case 5:
                s = join({d.prefix, p.size, p.grade}) + (p.standard.empty() ? "" : " (" + p.standard + ")");
                break;
            default:
                s = join({d.prefix, replaceAll(p.size, "х", "x"), capitalise(p.grade)}) +
                    (p.length.empty() ? "" : ", " + p.length);
                break;
        }
        const double r = rng_.unit();
        if (r < 0.02)
            s += "  ";
        else if (r < 0.03)
            s = " " + s;
        else if (r < 0.035)
            s += " 'в наличии'";
        return s;
    }

    static double roundPrice(double v, int rounding) {
        switch (rounding) {
            case 0:
                return std::round(v / 10.0) * 10.0;
            case 1:
                return std::round(v / 100.0) * 100.0;
            default:
                return std::round(v * 100.0) / 100.0;
        }
    }

    size_t weightedPick(const std::vector<double>& weights) {
        double total = 0;
        for (double w : weights) total += w;
        double x = rng_.unit() * total;
        for (size_t i = 0; i < weights.size(); ++i) {
            if (x < weights[i]) return i;
            x -= weights[i];
        }
        return weights.size() - 1;
    }

    // Plain multiplication keeps the draw identical on every C library.
    static double cube(double x) { return x * x * x; }

    static std::string twoDigits(int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); }

    struct GroupInfo {
        int64_t key;
        size_t type;
        const catalogue::Group* def;
    };
    struct BaseInfo {
        int64_t key;
        size_t org;
    };

    Db& db_;
    double scale_;
    Rng rng_;
    Summary sum_;
    std::vector<GroupInfo> groups_;
    std::vector<BaseInfo> bases_;
    std::vector<PriceList> lists_;
    std::vector<Position> positions_;
    int heroCount_ = 0;
};

}  // namespace

bool isServer(const std::string& target) {
    const QString t = qs(target);
    return t.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
           t.contains(QLatin1String("DSN="), Qt::CaseInsensitive);
}

Summary fillCentral(QSqlDatabase& db, double scale) {
    if (!(scale > 0) || scale > 1000) throw std::runtime_error("the scale must be above 0 and at most 1000");
    Db d(db);
    return Generator(d, scale).run();
}

namespace {

// A named Qt SQL connection that is removed when it goes out of scope.
class Connection {
public:
    Connection(const char* driver, const QString& name) : name_(QStringLiteral("zelvorin-demo-gen-%1").arg(counter()++)) {
        QSqlDatabase d = QSqlDatabase::addDatabase(QString::fromLatin1(driver), name_);
        d.setDatabaseName(name);
    }
    ~Connection() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Opens it; `what` names the target in the failure without its password.
    QSqlDatabase open(const std::string& what) {
        QSqlDatabase d = QSqlDatabase::database(name_, false);
        if (!d.open()) throw std::runtime_error("cannot open " + what + ": " + d.lastError().text().toStdString());
        return d;
    }

private:
    static std::atomic<int>& counter() {
        static std::atomic<int> n{0};
        return n;
    }
    QString name_;
};

}  // namespace

Summary generateCentral(const std::string& target, double scale) {
    if (!(scale > 0) || scale > 1000) throw std::runtime_error("the scale must be above 0 and at most 1000");
    if (isServer(target)) {
        Connection c("QODBC", qs(target));
        QSqlDatabase d = c.open("the central server");
        return fillCentral(d, scale);
    }
    namespace fs = std::filesystem;
    // Build beside the target and move it into place, so a failed run never leaves half a file.
    const fs::path tmp = fs::path(target + ".part");
    std::error_code ec;
    fs::remove(tmp, ec);
    Summary s;
    {
        Connection c("QSQLITE", QString::fromStdString(tmp.string()));
        QSqlDatabase d = c.open(tmp.string());
        Db db(d);
        db.exec("PRAGMA journal_mode=OFF");
        db.exec("PRAGMA synchronous=OFF");
        s = Generator(db, scale).run();
    }
    fs::rename(tmp, fs::path(target), ec);
    if (ec) {
        fs::remove(tmp);
        throw std::runtime_error("cannot write " + target + ": " + ec.message());
    }
    return s;
}

}  // namespace demodata
