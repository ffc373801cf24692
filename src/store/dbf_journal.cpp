// What a table file keeps in the folder's journal while a unit of statements is open:
// its length and header before its first change, and each original record before its
// first change, each made durable before the change it guards.
#include <sys/stat.h>

#include <QFileInfo>
#include <algorithm>
#include <cerrno>

#include "core/errors.h"
#include "store/dbf_file.h"
#include "store/journal.h"

namespace store {

void DbfFile::setJournal(Journal* journal) {
    journal_ = journal;
    journaled_ = false;
    unitCount_ = 0;
    saved_.clear();
}

void DbfFile::protect(const std::vector<uint32_t>& rows) {
    if (!journal_) return;
    const QString name = QFileInfo(path_).fileName();
    const uint32_t counted = journaled_ ? unitCount_ : written_;
    auto keep = [&](int64_t at, size_t len) {
        std::string bytes(len, '\0');
        const QString why = transferBytes(false, fd_, bytes.data(), len, at);
        if (!why.isEmpty()) fail(why);
        journal_->addBytes(name, at, bytes.data(), len);
    };
    if (!journaled_) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail(core::systemErrorText(errno));
        journal_->addLength(name, st.st_size);
        keep(0, 32);  // version, date, count and flags: all that a change writes there
        // What lies past the counted records (the end-of-file mark): appends write over it.
        const int64_t tail = int64_t(headerLength_) + int64_t(counted) * recordLength_;
        if (st.st_size > tail) keep(tail, size_t(st.st_size - tail));
    }
    std::vector<uint32_t> fresh;
    for (uint32_t r : rows) {
        if (r >= counted || (journaled_ && saved_[r]) ||
            std::find(fresh.begin(), fresh.end(), r) != fresh.end())
            continue;
        keep(int64_t(headerLength_) + int64_t(r) * recordLength_, size_t(recordLength_));
        fresh.push_back(r);
    }
    journal_->write();
    if (!journaled_) {
        unitCount_ = counted;
        saved_.assign(counted, false);
        journaled_ = true;
    }
    for (uint32_t r : fresh) saved_[r] = true;
}

}  // namespace store
