#pragma once
// The program's data access: a connection that runs one SQL statement per call, and
// the forward-only, read-only result set a query returns. `Cn` is one of these.

#include <QString>
#include <QStringList>
#include <memory>

#include "core/value.h"

namespace store {

class RecordSet {
public:
    virtual ~RecordSet() = default;
    virtual bool isOpen() const = 0;
    // True when there is no current record (after the last one, or on an empty result).
    virtual bool eof() const = 0;
    // The current record's field by name (case-insensitive). int columns come back as
    // 32-bit integers, double columns as doubles, texts as text, blank fields as null.
    // Throws core::DbError for an unknown name or when eof() is true.
    virtual core::Value field(const QString& name) const = 0;
    virtual void moveNext() = 0;
    virtual void close() = 0;
    virtual QStringList fieldNames() const = 0;
};

class Connection {
public:
    virtual ~Connection() = default;
    // Runs a statement that returns no rows. Throws core::DbError.
    virtual void execute(const QString& sql) = 0;
    // Runs a query; the result set is positioned on its first record. Throws core::DbError.
    virtual std::unique_ptr<RecordSet> open(const QString& sql) = 0;

    // What follows only a connection to a folder of table files does; the others have
    // nothing to flush, no folder, and refuse the replacement with a DbError.
    // Writes what a bulk load held back and makes the files durable.
    virtual void flush() {}
    // The database folder; empty for a connection that has none.
    virtual QString folder() const { return QString(); }
    // Replaces the named tables by the files staged for them, all or nothing (see
    // table_swap.h), and goes on with the new files. Result sets still open are detached.
    virtual void replaceTables(const QStringList& tables);
    // Why each table file of the folder that cannot be read is left out (the statements
    // naming its table fail with the same message); empty when every file reads.
    virtual QStringList unreadableTables() const { return {}; }
    // A unit of statements that a crash or a power cut leaves entirely done or entirely
    // undone (the folder's journal, undone at the next opening); an ordinary failure
    // inside it leaves what ran before. Units nest. Nothing for other connections.
    // Prefer AtomicUnit. commitUnit() throws core::DbError.
    virtual void beginUnit() {}
    virtual void commitUnit() {}
};

// A unit of statements for the scope: begun here, ended by commit() or, on the way out
// (an exception included), by the destructor.
class AtomicUnit {
public:
    explicit AtomicUnit(Connection& cn) : cn_(&cn) { cn.beginUnit(); }
    ~AtomicUnit() {
        try {
            if (cn_) cn_->commitUnit();
        } catch (...) {
            // Already leaving by a failure; the journal left behind is undone at the next opening.
        }
    }
    AtomicUnit(const AtomicUnit&) = delete;
    AtomicUnit& operator=(const AtomicUnit&) = delete;
    void commit() {
        Connection* cn = cn_;
        cn_ = nullptr;
        cn->commitUnit();
    }

private:
    Connection* cn_;
};

// True for statements addressed to the central server, which the local store does not
// serve, recognised by what they are: the order-exchange commands (starting with "exec "
// or "nom_command1 ") and the synchronisation's source queries (a select from the central
// lower-case tbl_ tables). What a statement's texts hold never sends it there.
bool isCentralStatement(const QString& sql);

// Sends the central server's statements to the central link and every other
// statement to the local store. Without a central link a central statement fails
// with a DbError like any statement the store cannot run.
class RoutedConnection final : public Connection {
public:
    RoutedConnection(std::unique_ptr<Connection> local, std::unique_ptr<Connection> central);
    void execute(const QString& sql) override;
    std::unique_ptr<RecordSet> open(const QString& sql) override;
    void flush() override { local_->flush(); }
    QString folder() const override { return local_->folder(); }
    void replaceTables(const QStringList& tables) override { local_->replaceTables(tables); }
    QStringList unreadableTables() const override { return local_->unreadableTables(); }
    void beginUnit() override { local_->beginUnit(); }
    void commitUnit() override { local_->commitUnit(); }
    Connection& local() { return *local_; }
    Connection* central() { return central_.get(); }
    void setCentral(std::unique_ptr<Connection> central) { central_ = std::move(central); }

private:
    Connection& route(const QString& sql);
    std::unique_ptr<Connection> local_;
    std::unique_ptr<Connection> central_;
};

// A connection that hands every call to `other`, which it does not own and which must
// outlive it: for a RoutedConnection whose central side belongs to someone else.
std::unique_ptr<Connection> borrow(Connection& other);

// Parses "Data Source=" out of a connection string ("Provider=...;Data Source=C:\x\DB;
// Extended Properties=dBASE IV"): the last one counts, and its value runs to the next
// key the string knows, so a folder's name may hold ";". A backslash is a path separator.
QString dataSourceFolder(const QString& connectionString);

}  // namespace store
