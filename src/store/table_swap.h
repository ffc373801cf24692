#pragma once
// Replacing several table files of a database folder at once, all or nothing even when
// the process dies in the middle. The new files are written completely into the folder's
// staging folder first; then a list of them is written there and made durable (the
// commit); then each is renamed over its old file, and the staging folder goes. Whoever
// opens the folder next finds either no staging folder, a staging folder without the
// list (thrown away: the old tables stay), or one with the list (the renames are
// finished: the new tables stand).

#include <QString>
#include <QStringList>

namespace store {

// The staging folder inside a database folder (hidden: ".staging").
QString stagingFolderOf(const QString& folder);

// Empties the staging folder (creating it when missing) for a new set of files.
// Throws core::DbError.
void prepareStaging(const QString& folder);

// Commits and carries out the replacement of the tables `tables` (names without the
// extension, each staged as <name>.dbf) in `folder`. A file of the folder whose name
// differs from the table's only in case is the one replaced. The folder's lock must be
// held and nothing may have the staged files open. Throws core::DbError when the commit
// cannot be written (then nothing changed); once it is written the replacement is
// finished, now or at the next opening.
void replaceTables(const QString& folder, const QStringList& tables);

// Finishes a committed replacement that was interrupted, or removes an uncommitted
// staging folder. Called when a folder is opened, under its lock. Throws core::DbError
// when a committed replacement cannot be finished.
void recoverReplacement(const QString& folder);

}  // namespace store
