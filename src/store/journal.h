#pragma once
// The rollback journal of a unit of several statements that must stand or fall together
// even when the process dies or the power goes. Before a table file changes for the first
// time within the unit, the journal keeps its length and header bytes; before an original
// record changes, its bytes. Each entry is on the disk before the change it protects, and
// carries a checksum, so a torn last entry is ignored (its change never happened). The
// unit's end removes the journal; whoever opens the folder next and finds one puts the
// files back as they were before the unit.

#include <QByteArray>
#include <QString>

namespace store {

// The journal file inside a database folder (hidden: ".zelvorin.journal").
QString journalFileOf(const QString& folder);

class Journal {
public:
    explicit Journal(const QString& folder) : folder_(folder) {}
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Entries for the file `name` of the folder: its length before the unit, and bytes
    // at an offset as they were before the unit. Held until write().
    void addLength(const QString& name, int64_t length);
    void addBytes(const QString& name, int64_t offset, const char* data, size_t len);
    // Writes the held entries and makes them durable (the first write creates the file
    // and makes the folder's entry durable too). Throws core::DbError.
    void write();
    // Ends the unit: removes the journal and makes that durable. Throws core::DbError.
    void commit();

private:
    void add(char kind, const QString& name, int64_t at, const char* data, size_t len);
    QString folder_;
    int fd_ = -1;
    QByteArray held_;
};

// Puts back the files of the folder as the journal left there says, makes them durable
// and removes the journal; nothing when there is none. Called when a folder is opened,
// under its lock. Throws core::DbError naming the file that cannot be restored.
void recoverJournal(const QString& folder);

}  // namespace store
