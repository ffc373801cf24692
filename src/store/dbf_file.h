#pragma once
// One dBASE table file: its validated header and field layout, record reads, and the
// crash-safe writes (append, overwrite in place, delete flag). Knows nothing of SQL.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/dbf_codepage.h"

namespace store {

class Journal;

// How a field's bytes read back.
enum class FieldKind {
    Text,       // C: text, trailing padding dropped, all blank = null
    Number,     // N with no decimals: whole number (32-bit when it fits)
    Decimal,    // N with decimals, F: double
    Date,       // D: "yyyy-MM-dd"
    Logical,    // L: boolean
    BinInt,     // I: 32-bit little-endian integer
    Currency,   // Y: 64-bit little-endian, four implied decimals
    BinDouble,  // B of 8 bytes: little-endian double
    DateTime,   // T: two 32-bit little-endian numbers (Julian day, milliseconds)
    Memo,       // M, G, P, B of 10 bytes: a pointer into a memo file we do not read (null)
    NullFlags   // 0: a hidden bit field of some writers, not a column
};

struct DbfField {
    QString name;
    char type = 'C';
    int offset = 0;  // from the start of the record (the deletion flag is byte 0)
    int length = 0;
    int decimals = 0;
    FieldKind kind = FieldKind::Text;
};

// A field of a table to be created.
struct NewField {
    QString name;
    char type = 'C';  // C or N
    int length = 0;
    int decimals = 0;
};

class DbfFile {
public:
    // Opens and validates the file. Throws core::DbError naming the file and what is wrong.
    static std::unique_ptr<DbfFile> open(const QString& path);
    // Writes a new, empty table file; fails when the file exists. The file appears
    // complete or not at all, and, when `durable`, it and its folder's entry are on the
    // disk when this returns (a bulk build passes false and syncs at its end).
    static void create(const QString& path, const std::vector<NewField>& fields,
                       uint8_t languageDriver = kDefaultLanguageDriver, bool durable = true);

    ~DbfFile();
    DbfFile(const DbfFile&) = delete;
    DbfFile& operator=(const DbfFile&) = delete;

    const QString& path() const { return path_; }
    const std::vector<DbfField>& fields() const { return fields_; }
    uint32_t recordCount() const { return recordCount_; }
    int recordLength() const { return recordLength_; }
    int headerLength() const { return headerLength_; }
    uint8_t version() const { return version_; }
    uint8_t languageDriver() const { return languageDriver_; }
    const CodePage& codePage() const { return codePage_; }
    bool writable() const { return writable_; }
    const QString& readOnlyReason() const { return readOnlyReason_; }  // why not, when not

    // Reads count records from first into buf (count * recordLength() bytes).
    void read(uint32_t first, uint32_t count, char* buf) const;

    // Appends n records: first the records and the end-of-file mark, then the header's
    // count, so that a crash in between leaves the old count and a readable file. Written
    // through (not batched), the records reach the disk before the count is written.
    void append(const char* records, uint32_t n);
    // Overwrites one record in place.
    void overwrite(uint32_t index, const char* record);
    // Sets or clears the deletion flag of a record.
    void setDeleted(uint32_t index, bool deleted);
    // Writes today's date into the header (the "last update" of the format).
    void touch();
    // Puts the header's count back to an earlier value (undoing an append whose
    // statement failed); the records past it become unused space.
    void setRecordCount(uint32_t count);

    // Within a unit of statements (journal.h): from now on every change of the file is
    // preceded by a durable journal entry that can undo it. Null ends it.
    void setJournal(Journal* journal);
    // Journals the records `rows` before they change, in one durable write; nothing
    // outside a unit. Throws core::DbError.
    void protect(const std::vector<uint32_t>& rows);

    // A blank record: live flag and every field blank (binary fields zero).
    std::string blankRecord() const;

    // Batched appends, for a bulk load nobody reads from disk until it is done: appended
    // records wait in memory and go to the file a few megabytes at a time (records first,
    // then the header's count, as a single append does) and at flush(). Reads see them.
    void setBatched(bool on);
    // Writes what waits and makes the file durable (fdatasync). Throws core::DbError.
    void flush();
    // Makes the writes since the last sync durable; nothing when there were none or while
    // batched (a bulk load is made durable once, by flush()). Throws core::DbError.
    void sync();

private:
    DbfFile() = default;
    void writeAt(int64_t offset, const char* data, size_t len);
    [[noreturn]] void fail(const QString& what) const;

    void writePending();
    void syncNow();
    // Writes n records after the ones the header counts, then the new count.
    void writeRecords(const char* records, uint32_t n);

    QString path_;
    int fd_ = -1;
    Journal* journal_ = nullptr;
    bool journaled_ = false;      // the journal holds the file's length and header
    uint32_t unitCount_ = 0;      // the records counted when the unit began
    std::vector<bool> saved_;     // of those, the ones whose bytes the journal holds
    bool batched_ = false;
    bool unsynced_ = false;  // written since the last fdatasync
    // The header's flags byte; bit 0 says a production index belongs to the table, which
    // the store does not keep: it is cleared before the first change.
    uint8_t flags_ = 0;
    std::string pending_;    // appended records not yet in the file
    uint32_t written_ = 0;   // records the file's header counts
    bool writable_ = false;
    QString readOnlyReason_;  // why the file could be opened only for reading
    uint8_t version_ = 0;
    uint8_t languageDriver_ = 0;
    uint32_t recordCount_ = 0;
    int headerLength_ = 0;
    int recordLength_ = 0;
    std::vector<DbfField> fields_;
    CodePage codePage_;
};

// Field conversions shared by the loader, the writer and the tests.
namespace dbf {

// Strips blanks and NULs at both ends. Returns the trimmed range.
void trim(const char*& p, size_t& n);

enum class NumberRead { Null, Integer, Real };
// Reads an N/F field: blanks, one optional sign, digits with one optional point (or
// comma), and with `exponent` an exponent as float fields may hold ("1.5E+03"). Blank or
// anything else is Null; a whole number that fits 64 bits without a fraction is Integer;
// any other number Real.
NumberRead readNumber(const char* p, size_t n, int64_t& i, double& d, bool exponent = true);

// The shortest text of v that reads back as v, without an exponent, in at most width
// characters; when it cannot fit, the most digits that fit. Returns false when even the
// whole part does not fit or v is not finite.
bool formatDouble(double v, int width, std::string& out);

// Rounds half to even, as whole-number fields take fractions.
int64_t roundHalfEven(double v, bool* ok);

// "yyyyMMdd" field bytes to "yyyy-MM-dd"; false for blank or impossible dates.
bool readDate(const char* p, size_t n, std::string& out);

}  // namespace dbf

// Reads or writes len bytes of a file at offset, however many calls it takes: empty on
// success, else why not (in Russian).
QString transferBytes(bool write, int fd, char* buf, size_t len, int64_t offset);

// Makes a folder's entries (files created, renamed or removed in it) durable. Throws
// core::DbError naming the folder.
void syncFolder(const QString& folder);

// Test seam: a hook consulted before every write to a table file; returning false makes
// that write fail as an I/O error would, or with the error the hook puts in errno
// (ENOSPC for a full disk, EROFS for a read-only one). Pass nullptr to remove it.
using WriteFailureHook = std::function<bool(const QString& path, int64_t offset, size_t len)>;
void setWriteFailureHook(WriteFailureHook hook);

}  // namespace store
