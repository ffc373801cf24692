#include "store/table_swap.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "core/checkpoint.h"
#include "core/errors.h"

namespace store {
namespace {

constexpr const char* kStaging = ".staging";
constexpr const char* kList = "REPLACE.list";  // the commit: "staged name<TAB>target name" lines
constexpr const char* kListTemp = "REPLACE.tmp";

[[noreturn]] void fail(const QString& what, const QString& path) {
    throw core::DbError(QStringLiteral("%1 %2: %3.")
                            .arg(what, QDir::toNativeSeparators(path), core::systemErrorText(errno)));
}

// Makes a file's data, or a folder's entries, durable.
void syncPath(const QString& path, bool folder) {
    const int fd = ::open(QFile::encodeName(path).constData(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) fail(QStringLiteral("Не открывается"), path);
    const int r = folder ? ::fsync(fd) : ::fdatasync(fd);
    const int err = errno;
    ::close(fd);
    errno = err;
    if (r != 0) fail(QStringLiteral("Не записывается на диск"), path);
}

// The file of `dir` named <table>.dbf in any case; empty when there is none.
QString fileOfTable(const QDir& dir, const QString& table) {
    const QString wanted = table + QStringLiteral(".dbf");
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) return name;
    return {};
}

// Renames every staged file of the list over its target, then removes the staging folder.
void finish(const QString& folder) {
    const QDir staging(stagingFolderOf(folder));
    QFile list(staging.filePath(QLatin1String(kList)));
    if (!list.open(QIODevice::ReadOnly))
        throw core::DbError(QStringLiteral("Не читается список замены %1.").arg(QDir::toNativeSeparators(list.fileName())));
    const QStringList lines = QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    list.close();
    for (const QString& line : lines) {
        const QString staged = staging.filePath(line.section(QLatin1Char('\t'), 0, 0));
        const QString target = QDir(folder).filePath(line.section(QLatin1Char('\t'), 1, 1));
        if (!QFileInfo::exists(staged)) continue;  // renamed before an interruption
        if (::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0)
            fail(QStringLiteral("Не удаётся заменить файл"), target);
        core::checkpoint("table file replaced");
    }
    syncPath(folder, true);
    core::checkpoint("replacement durable");
    QFile::remove(list.fileName());
    QDir(staging).removeRecursively();
    syncPath(folder, true);
}

}  // namespace

QString stagingFolderOf(const QString& folder) { return QDir(folder).filePath(QLatin1String(kStaging)); }

void prepareStaging(const QString& folder) {
    QDir staging(stagingFolderOf(folder));
    if (staging.exists() && !staging.removeRecursively())
        throw core::DbError(QStringLiteral("Не удаётся очистить папку %1.").arg(QDir::toNativeSeparators(staging.path())));
    if (!QDir().mkpath(staging.path()))
        throw core::DbError(QStringLiteral("Не удаётся создать папку %1.").arg(QDir::toNativeSeparators(staging.path())));
}

void replaceTables(const QString& folder, const QStringList& tables) {
    const QDir dir(folder);
    const QDir staging(stagingFolderOf(folder));
    QByteArray lines;
    for (const QString& table : tables) {
        const QString staged = fileOfTable(staging, table);
        if (staged.isEmpty())
            throw core::DbError(QStringLiteral("В папке %1 нет новой таблицы %2.")
                                    .arg(QDir::toNativeSeparators(staging.path()), table));
        syncPath(staging.filePath(staged), false);
        QString target = fileOfTable(dir, table);
        if (target.isEmpty()) target = staged;
        lines += (staged + QLatin1Char('\t') + target + QLatin1Char('\n')).toUtf8();
    }
    syncPath(staging.path(), true);
    // The commit: the list appears whole under its name, and durably, or not at all.
    const QString temp = staging.filePath(QLatin1String(kListTemp));
    {
        QFile f(temp);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(lines) != lines.size() || !f.flush())
            throw core::DbError(QStringLiteral("Не записывается список замены %1: %2.")
                                    .arg(QDir::toNativeSeparators(temp), f.errorString()));
    }
    syncPath(temp, false);
    core::checkpoint("replacement list written");
    const QString list = staging.filePath(QLatin1String(kList));
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(list).constData()) != 0)
        fail(QStringLiteral("Не удаётся записать список замены"), list);
    syncPath(staging.path(), true);
    core::checkpoint("replacement committed");
    finish(folder);
}

void recoverReplacement(const QString& folder) {
    const QDir staging(stagingFolderOf(folder));
    if (!staging.exists()) return;
    if (QFileInfo::exists(staging.filePath(QLatin1String(kList))))
        finish(folder);
    else
        QDir(staging).removeRecursively();
}

}  // namespace store
