#include "store/dbf_connection.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>

#include "core/errors.h"
#include "store/journal.h"
#include "store/sql_engine.h"
#include "store/table_swap.h"

namespace store {

namespace {

// The name of the lock file inside a database folder.
constexpr const char* kLockFile = ".zelvorin.lock";

// One program at a time owns a folder: an exclusive flock() on a file inside it. flock()
// belongs to the open file, so a second opener in the same process is refused as well,
// and the system drops the lock when a program dies.
class FolderLock {
public:
    explicit FolderLock(const QString& folder) : folder_(folder) {
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(QLatin1String(kLockFile)));
        fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0) fd_ = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return;  // a read-only folder without the file: nobody can write there anyway
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd_);
            fd_ = -1;
            throw core::DbError(QStringLiteral("Папка базы данных %1 занята другой программой.")
                                    .arg(QDir::toNativeSeparators(folder)));
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    const QString& folder() const { return folder_; }

private:
    QString folder_;
    int fd_ = -1;
};

class DbfConnection final : public Connection {
public:
    DbfConnection(const QString& folder, Writes writes)
        : lock_(checked(folder)), batched_(writes == Writes::Batched), engine_(opened(folder, batched_)) {}

    void execute(const QString& sql) override { engine().execute(sql); }
    std::unique_ptr<RecordSet> open(const QString& sql) override { return engine().open(sql); }
    void flush() override { engine().flush(); }
    void beginUnit() override { engine().beginUnit(); }
    void commitUnit() override { engine().commitUnit(); }
    QString folder() const override { return folder_; }
    QStringList unreadableTables() const override { return engine_ ? engine_->unreadableTables() : QStringList(); }

    void replaceTables(const QStringList& tables) override {
        // The engine lets go of the old files; the lock stays taken throughout.
        engine_.reset();
        try {
            store::replaceTables(folder_, tables);
        } catch (...) {
            reopen();
            throw;
        }
        reopen();
    }

private:
    static const QString& checked(const QString& folder) {
        if (folder.isEmpty() || !QDir(folder).exists())
            throw core::DbError(
                QStringLiteral("Папка базы данных %1 не существует.").arg(QDir::toNativeSeparators(folder)));
        return folder;
    }
    static std::unique_ptr<SqlEngine> opened(const QString& folder, bool batched) {
        recoverReplacement(folder);
        recoverJournal(folder);
        return std::make_unique<SqlEngine>(folder, batched);
    }
    SqlEngine& engine() {
        if (!engine_) reopen();
        return *engine_;
    }
    void reopen() { engine_ = opened(folder_, batched_); }

    FolderLock lock_;  // taken before the engine opens the files, released after it closes them
    QString folder_ = lock_.folder();
    bool batched_;
    std::unique_ptr<SqlEngine> engine_;
};

}  // namespace

std::unique_ptr<Connection> openFolder(const QString& folder, Writes writes) {
    return std::make_unique<DbfConnection>(folder, writes);
}

std::unique_ptr<Connection> openConnectionString(const QString& connectionString) {
    const QString folder = dataSourceFolder(connectionString);
    if (folder.isEmpty())
        throw core::DbError(
            QStringLiteral("В строке подключения не указана папка (Data Source=): %1").arg(connectionString));
    return openFolder(folder);
}

}  // namespace store
