#include "order/clsZak.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cmath>
#include <limits>
#include <type_traits>
#include <variant>

#include "core/errors.h"
#include "core/helpers.h"
#include "core/seams.h"
#include "core/sql_text.h"
#include "order/line_notes.h"
#include "store/connection.h"

namespace {

// Blanks only: a note that is just a line break is still a note.
QString trimBlanks(const QString& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

QString textOrNull(const QString& s) {
    const QString t = trimBlanks(s);
    return t.isEmpty() ? QStringLiteral("NULL") : core::sql::literal(t);
}

// General format: at most 15 significant digits, a point whatever the operator's locale.
QString sqlNumber(double q) {
    const double rounded = QString::number(q, 'g', 15).toDouble();
    // Fifteen digits of the largest quantities round past the largest double.
    return core::sql::number(std::isfinite(rounded) ? rounded : q);
}

// MAX(IND) + 1 of a key query, or 1 for an empty table.
int32_t nextKey(store::Connection& cn, const QString& sql) {
    auto rs = cn.open(sql);
    int64_t next = 1;
    if (!rs->eof()) {
        const core::Value v = rs->field(QStringLiteral("MAX_IND"));
        if (!v.isNull() && !v.isEmpty())
            next = static_cast<int64_t>(v.toInt32()) + 1;
    }
    rs->close();
    if (next > std::numeric_limits<int32_t>::max())
        throw core::DbError(QStringLiteral("Нет свободного номера для новой записи.\n") + sql);
    return static_cast<int32_t>(next);
}

// The stored creation moment ("yyyy.MM.dd hh:mm") as the date the order object keeps.
QString creationDate(const core::Value& v) {
    if (v.isNull() || v.isEmpty())
        return QString();
    const QString text = v.toText().trimmed();
    // Only the date part matters; reading it alone also spares us clock times that do not
    // exist in the local time zone (the hour skipped when summer time begins).
    const QString datePart = text.section(QLatin1Char(' '), 0, 0);
    static const char* const kForms[] = {"yyyy.MM.dd", "dd.MM.yyyy", "yyyy-MM-dd"};
    for (const char* form : kForms) {
        const QDate d = QDate::fromString(datePart, QLatin1String(form));
        if (d.isValid())
            return d.toString(QStringLiteral("dd.MM.yyyy"));
    }
    // Not a date we can read: show what is stored rather than lose the order.
    return text;
}

store::Connection& requireConnection(store::Connection* cn) {
    if (!cn)
        throw core::DbError(QStringLiteral("Заказ не подключён к базе данных."));
    return *cn;
}

bool isPos(const core::Value& s) { return s.isText() && s.rawText() == QLatin1String("pos"); }

}  // namespace

// One line field: its name and its member. `sqlWidth` cuts the SQL rendering of the
// two service fields to what the exchange service's columns take.
struct clsZak::FieldDef {
    const char* name;
    std::variant<int32_t Line::*, double Line::*, int16_t Line::*, QString Line::*> member;
    int sqlWidth = 0;
};

const clsZak::FieldDef* clsZak::lineField(const core::Value& s) {
    static const FieldDef kFields[] = {{"ind_tbl", &Line::ind_tbl},
                                       {"idn", &Line::idn},
                                       {"qty", &Line::qty},
                                       {"ed", &Line::ed},
                                       {"pr", &Line::pr},
                                       {"rezka", &Line::rezka},
                                       {"prim", &Line::prim},
                                       {"sklad", &Line::sklad},
                                       {"rezFlg", &Line::rezFlg},
                                       {"codeza", &Line::codeza},
                                       {"id_usl", &Line::id_usl, 9},
                                       {"id_base", &Line::id_base, 9},
                                       {"filial", &Line::filial}};
    // Names are matched exactly and case-sensitively; anything but a text matches nothing.
    if (!s.isText())
        return nullptr;
    for (const FieldDef& f : kFields) {
        if (s.rawText() == QLatin1String(f.name))
            return &f;
    }
    return nullptr;
}

void clsZak::Init() {
    for (Line& l : lines_)
        l = Line{};
    cur_ = 0;
}

int16_t clsZak::InsertRow() {
    for (int16_t i = 0; i <= kMaxSlot; ++i) {
        if (!lines_[i].used) {
            lines_[i] = Line{};
            lines_[i].used = true;
            cur_ = i;
            return i;
        }
    }
    return -1;
}

int16_t clsZak::RemoveRow(int16_t i) {
    if (i >= 0 && i <= kMaxSlot && lines_[i].used)
        lines_[i] = Line{};
    return 0;
}

core::Value clsZak::Field(const core::Value& s) const {
    if (isPos(s))
        return core::Value::int16(cur_);
    const FieldDef* f = lineField(s);
    if (!f || cur_ < 0 || cur_ > kMaxSlot)
        return core::Value();
    const Line& l = lines_[cur_];
    return std::visit(
        [&l](auto m) -> core::Value {
            using T = std::remove_cvref_t<decltype(l.*m)>;
            if constexpr (std::is_same_v<T, int32_t>)
                return core::Value::int32(l.*m);
            else if constexpr (std::is_same_v<T, double>)
                return core::Value::dbl(l.*m);
            else if constexpr (std::is_same_v<T, int16_t>)
                return core::Value::int16(l.*m);
            else
                return core::Value::text(l.*m);
        },
        f->member);
}

QString clsZak::FieldSql(const core::Value& s) const {
    if (cur_ < 0 || cur_ > kMaxSlot)
        return QStringLiteral("NULL");
    if (isPos(s))
        return QString::number(cur_);
    const FieldDef* f = lineField(s);
    if (!f)
        return QString();
    const Line& l = lines_[cur_];
    const int width = f->sqlWidth;
    return std::visit(
        [&l, width](auto m) -> QString {
            using T = std::remove_cvref_t<decltype(l.*m)>;
            if constexpr (std::is_same_v<T, int32_t>)
                return width > 0 ? QString::number(l.*m).left(width) : QString::number(l.*m);
            else if constexpr (std::is_same_v<T, double>)
                return sqlNumber(l.*m);
            else if constexpr (std::is_same_v<T, int16_t>)
                return l.*m != 0 ? QStringLiteral("1") : QStringLiteral("NULL");
            else if (width == 0)
                return textOrNull(l.*m);
            else
                // The service code keeps its own blanks, only an all-blank one is NULL.
                return trimBlanks(l.*m).isEmpty() ? QStringLiteral("NULL") : core::sql::literal((l.*m).left(width));
        },
        f->member);
}

void clsZak::setField(const core::Value& s, const core::Value& ss) {
    if (cur_ < 0 || cur_ > kMaxSlot) {
        core::showMessage(QStringLiteral("Err"));
        return;
    }
    const FieldDef* f = lineField(s);
    if (!f) {
        core::showMessage(QStringLiteral("Err2"));
        return;
    }
    Line& l = lines_[cur_];
    const bool null = ss.isNull();
    // Every conversion happens before anything is stored, so a failure leaves the field as it was.
    try {
        std::visit(
            [&](auto m) {
                using T = std::remove_cvref_t<decltype(l.*m)>;
                if constexpr (std::is_same_v<T, int32_t>) {
                    l.*m = null ? 0 : ss.toInt32();
                } else if constexpr (std::is_same_v<T, int16_t>) {
                    l.*m = null ? int16_t(0) : ss.toInt16();
                } else if constexpr (std::is_same_v<T, double>) {
                    const double q = null ? 0.0 : ss.toDouble();
                    // A quantity that is no finite number would make every later statement invalid.
                    if (!std::isfinite(q))
                        throw core::ConversionError(QStringLiteral("значение — не конечное число."));
                    l.*m = q;
                } else {
                    const QString text = ss.toText();
                    if (m == &Line::prim && text.size() > order::notes::kMaxLength)
                        throw core::ConversionError(
                            QStringLiteral("Примечание длиннее %1 знаков.").arg(order::notes::kMaxLength));
                    l.*m = text;
                }
            },
            f->member);
    } catch (const core::ConversionError& e) {
        throw core::ConversionError(QStringLiteral("Поле строки заказа «%1» не принимает значение «%2».\n%3")
                                        .arg(s.rawText(), ss.toText().left(40), e.message()));
    }
}

int16_t clsZak::RecordCount() const {
    int16_t n = 0;
    for (const Line& l : lines_)
        n += l.used ? 1 : 0;
    return n;
}

void clsZak::Clear() {
    // The release goes first: if the exchange service refuses it, the order stays as it was.
    if (order_is_locked && order_ind > 0)
        requireConnection(cn_).execute(QStringLiteral("exec nom_command 'unlockApp', ") + QString::number(order_ind));
    resetHeader();
    freeLines();
}

void clsZak::resetHeader() {
    order_type = 0;
    order_ind = 0;
    norder = 0;
    order_is_locked = false;
    who_edit_last.clear();
    contr.clear();
    contr_id.clear();
    contr_code.clear();
    contact_face.clear();
    contact_face_tel.clear();
    contact_face_mail.clear();
    id_rekl.clear();
    rekl.clear();
    rekl_text.clear();
    id_otd.clear();
    cmt.clear();
    Comment.clear();
    contr_fil.clear();
    dost_flg = 0;
    state = 0;
    otb_flg = 0;
    shts.clear();
    // create_date, otd and grpZay survive on purpose.
}

void clsZak::freeLines() {
    for (Line& l : lines_) {
        if (l.used)
            l = Line{};
    }
}

void clsZak::MoveFirst() {
    cur_ = -1;
    MoveNext();
}

void clsZak::MoveNext() {
    for (int i = cur_ + 1; i <= kMaxSlot; ++i) {
        if (lines_[i].used) {
            cur_ = static_cast<int16_t>(i);
            return;
        }
    }
    cur_ = -1;
}

void clsZak::MoveTo(int32_t ind) {
    cur_ = (ind >= 0 && ind <= kMaxSlot && lines_[ind].used) ? static_cast<int16_t>(ind) : int16_t(-1);
}

bool clsZak::FindIND(int32_t ind) {
    for (int16_t i = 0; i <= kMaxSlot; ++i) {
        if (lines_[i].used && lines_[i].idn == ind) {
            cur_ = i;
            return true;
        }
    }
    cur_ = -1;
    return false;
}

void clsZak::SaveOrder() {
    store::Connection& cn = requireConnection(cn_);
    // A crash part-way leaves the stored order as it was; a failed statement leaves what
    // ran before it.
    store::AtomicUnit unit(cn);

    if (norder == 0) {
        const int32_t number = nextKey(cn, QStringLiteral("SELECT MAX(IND) AS MAX_IND FROM TBL_APPS"));
        const QDateTime now = QDateTime::currentDateTime();
        cn.execute(QStringLiteral("INSERT INTO TBL_APPS(IND, IND_STT, CGT_NM, CNT_NM, TLP, ML, CMT, ADVT, CR_DT) "
                                  "VALUES(") +
                   QString::number(number) + QStringLiteral(",0,'','', '', '','','', '") +
                   now.toString(QStringLiteral("yyyy.MM.dd hh:mm")) + QStringLiteral("')"));
        // Only a record that exists may give the order its number: otherwise the next save
        // would update a record that was never inserted.
        norder = number;
        create_date = now.date().toString(QStringLiteral("dd.MM.yyyy"));
        order_is_locked = true;
    }

    cn.execute(QStringLiteral("UPDATE TBL_APPS SET ") + QStringLiteral("IND_STT = ") + QString::number(state) +
               QStringLiteral(",") + QStringLiteral("CGT_NM = '") + core::sql::escaped(contr) + QStringLiteral("',") +
               QStringLiteral("CNT_NM = '") + core::sql::escaped(contact_face) + QStringLiteral("',") +
               QStringLiteral("TLP = '") + core::sql::escaped(contact_face_tel) + QStringLiteral("',") +
               QStringLiteral("ML = '") + core::sql::escaped(contact_face_mail) + QStringLiteral("',") +
               QStringLiteral("CMT = '") + core::sql::escaped(Comment) + QStringLiteral("',") +
               QStringLiteral("ADVT = '") + core::sql::escaped(rekl) + QStringLiteral("' ") +
               QStringLiteral("WHERE IND=") + QString::number(norder));

    QStringList stored;
    for (MoveFirst(); cur_ >= 0; MoveNext()) {
        if (lines_[cur_].ind_tbl > 0)
            stored << QString::number(lines_[cur_].ind_tbl);
    }
    QString removal = QStringLiteral("DELETE FROM TBL_APTS WHERE IND_APP=") + QString::number(norder);
    if (!stored.isEmpty())
        removal += QStringLiteral(" AND NOT IND IN (") + stored.join(QLatin1Char(',')) + QStringLiteral(")");
    cn.execute(removal);

    QList<order::notes::Note> notes;
    for (MoveFirst(); cur_ >= 0; MoveNext()) {
        Line& l = lines_[cur_];
        if (l.ind_tbl == 0) {
            const int32_t number = nextKey(cn, QStringLiteral("SELECT MAX(IND) as MAX_IND FROM TBL_APTS"));
            cn.execute(QStringLiteral("INSERT INTO TBL_APTS(IND, IND_APP, IND_PST, VL) VALUES(") +
                       QString::number(number) + QStringLiteral(", ") + QString::number(norder) +
                       QStringLiteral(",0,0)"));
            // As for the order: a line is stored only once its record exists.
            l.ind_tbl = number;
        }
        cn.execute(QStringLiteral("UPDATE TBL_APTS SET ") + QStringLiteral("IND_PST=") +
                   FieldSql(QStringLiteral("idn")) + QStringLiteral(", VL=") + FieldSql(QStringLiteral("qty")) +
                   QStringLiteral(" WHERE IND=") + QString::number(l.ind_tbl));
        notes.append({l.ind_tbl, l.prim});
    }
    order::notes::write(cn, norder, notes);
    unit.commit();
}

void clsZak::LoadOrder(const int32_t& ord) {
    store::Connection& cn = requireConnection(cn_);
    // A refused release leaves the order as it was; after it nothing of the old order is left.
    Clear();
    // A half-loaded order must not stay behind: saved later, it would delete the stored
    // lines it had not read.
    const QString keptDate = create_date;
    try {
        readOrder(cn, ord);
    } catch (...) {
        resetHeader();
        freeLines();
        create_date = keptDate;
        throw;
    }
}

void clsZak::readOrder(store::Connection& cn, int32_t ord) {
    norder = ord;

    auto rs = cn.open(QStringLiteral("SELECT * FROM TBL_APPS WHERE IND=") + QString::number(ord));
    if (rs->eof())
        throw core::DbError(QStringLiteral("Заявка %1 не найдена в таблице заявок.").arg(ord));
    const core::Value none = core::Value::text(QString());
    const core::Value stt = rs->field(QStringLiteral("IND_STT"));
    // A blank state is a state never set, which the order table writes as 0.
    state = (stt.isNull() || stt.isEmpty()) ? 0 : stt.toInt32();
    contr = Global::ValueOrDefault(rs->field(QStringLiteral("CGT_NM")), none);
    create_date = creationDate(rs->field(QStringLiteral("CR_DT")));
    norder = rs->field(QStringLiteral("IND")).toInt32();
    contact_face = Global::ValueOrDefault(rs->field(QStringLiteral("CNT_NM")), none);
    contact_face_tel = Global::ValueOrDefault(rs->field(QStringLiteral("TLP")), none);
    contact_face_mail = Global::ValueOrDefault(rs->field(QStringLiteral("ML")), none);
    rekl = trimBlanks(Global::ValueOrDefault(rs->field(QStringLiteral("ADVT")), none));
    Comment = Global::ValueOrDefault(rs->field(QStringLiteral("CMT")), none);
    rs->close();

    rs = cn.open(QStringLiteral("SELECT * FROM TBL_APTS WHERE IND_APP = ") + QString::number(norder));
    while (!rs->eof()) {
        if (InsertRow() < 0)
            throw core::DbError(
                QStringLiteral("В заявке %1 больше строк, чем помещается в заказ (%2).").arg(norder).arg(kMaxSlot + 1));
        setField(QStringLiteral("ind_tbl"), rs->field(QStringLiteral("IND")));
        setField(QStringLiteral("idn"), rs->field(QStringLiteral("IND_PST")));
        setField(QStringLiteral("qty"), rs->field(QStringLiteral("VL")));
        rs->moveNext();
    }
    rs->close();

    const QHash<int32_t, QString> notes = order::notes::read(cn, norder);
    if (notes.isEmpty())
        return;
    for (Line& l : lines_) {
        if (l.used)
            l.prim = notes.value(l.ind_tbl);
    }
}
