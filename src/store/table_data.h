#pragma once
// The rows of one table file held in memory, column by column, with the hash indexes
// that serve equality look-ups. Loaded on first use; kept equal to the file by applying
// every record the engine writes.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/dbf_file.h"

namespace store {

// UTF-8 texts in fixed chunks, so a text's bytes never move once stored: SQLite may keep
// pointers to them while a query runs.
class TextArena {
public:
    static constexpr uint64_t kNull = ~uint64_t(0);
    uint64_t add(const char* p, size_t n);
    std::string_view get(uint64_t ref) const {
        const size_t chunk = size_t(ref >> 40);
        const size_t off = size_t((ref >> 20) & 0xFFFFF);
        return {chunks_[chunk].get() + off, size_t(ref & 0xFFFFF)};
    }

private:
    static constexpr size_t kChunk = size_t(1) << 20;
    std::vector<std::unique_ptr<char[]>> chunks_;
    size_t used_ = kChunk;
};

// Equality index of one column: keys hashed to the rows that hold them. Covers the rows
// that existed when it was built; rows appended since are checked one by one.
class HashIndex {
public:
    struct Range {
        const uint32_t* begin = nullptr;
        const uint32_t* end = nullptr;
    };
    Range find(uint64_t key) const;
    uint32_t covered() const { return covered_; }
    size_t distinct() const { return distinct_; }
    size_t entries() const { return rows_.size(); }

private:
    friend class TableData;
    struct Slot {
        uint64_t key = 0;
        uint32_t start = 0;
        uint32_t count = 0;  // 0 marks an empty slot
    };
    size_t slotOf(uint64_t key) const;
    uint32_t covered_ = 0;
    // Whole numbers in a compact range (identifiers mostly are) skip the hashing: the
    // key's offset from base_ addresses its group directly.
    bool dense_ = false;
    int64_t base_ = 0;
    std::vector<uint32_t> starts_;  // group k is rows_[starts_[k], starts_[k + 1])
    size_t distinct_ = 0;
    std::vector<uint32_t> rows_;
    std::vector<Slot> slots_;
    uint64_t mask_ = 0;
};

// How a column keeps its values. Whole-number fields start as 32-bit integers and move to
// doubles if a value does not fit.
enum class Storage { Int32, Double, Text, None };

struct Column {
    static constexpr int32_t kNullInt = INT32_MIN;
    int field = 0;  // index into the file's fields
    FieldKind kind = FieldKind::Text;
    Storage storage = Storage::Text;
    bool whole = false;  // values are whole numbers (Int32, or Double after a widening)
    std::vector<int32_t> ints;
    std::vector<double> doubles;  // NaN is null
    std::vector<uint64_t> texts;  // TextArena::kNull is null
    std::shared_ptr<const HashIndex> index;
    // A HyperLogLog sketch of the distinct values, kept while loading and appending, so
    // the planner learns how selective a look-up is without building its index.
    std::array<uint8_t, 1024> sketch{};
    uint64_t lastSketched = ~uint64_t(0);
};

class TableData {
public:
    explicit TableData(std::unique_ptr<DbfFile> file);

    DbfFile& file() { return *file_; }
    const DbfFile& file() const { return *file_; }
    const QString& name() const { return name_; }
    void setName(const QString& n) { name_ = n; }

    // SQL columns (every field but the hidden null flags).
    const std::vector<Column>& columns() const { return columns_; }
    const Column& column(int i) const { return columns_[size_t(i)]; }
    const TextArena& arena() const { return arena_; }

    // Reads every record on first call.
    void ensureLoaded();
    bool loaded() const { return loaded_; }

    uint32_t rowCount() const { return uint32_t(deleted_.size()); }
    uint32_t liveRows() const { return live_; }
    bool isDeleted(uint32_t row) const { return deleted_[row] != 0; }

    // Keeps memory equal to a record just written to the file: row == rowCount() appends.
    void storeRecord(uint32_t row, const char* record);
    void markDeleted(uint32_t row);

    // The equality index of a column, built or refreshed when missing or when too many
    // rows were appended since it was built; null for columns that are not indexed.
    std::shared_ptr<const HashIndex> index(int col);
    static bool indexable(const Column& c) {
        return c.storage == Storage::Int32 || c.storage == Storage::Double;
    }

    // Rows expected for one equality look-up on a column: exact when its index is built,
    // else from the column's sketch.
    double rowsPerKey(int col);

    // The index key of a stored value; false for null.
    bool keyOf(const Column& c, uint32_t row, uint64_t* key) const;
    static uint64_t doubleKey(double d);

private:
    void decodeInto(uint32_t row, const char* record);
    void widen(Column& c);
    static void addToSketch(Column& c, uint64_t key);
    static double distinctEstimate(const Column& c);
    std::shared_ptr<const HashIndex> build(const Column& c) const;
    std::shared_ptr<const HashIndex> buildDense(const Column& c, int32_t lo, int32_t hi) const;

    std::unique_ptr<DbfFile> file_;
    QString name_;
    bool loaded_ = false;
    std::vector<Column> columns_;
    std::vector<uint8_t> deleted_;
    uint32_t live_ = 0;
    TextArena arena_;
    std::string scratch_;
};

}  // namespace store
