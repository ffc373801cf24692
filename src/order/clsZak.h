#pragma once
// The order held in memory ("the basket"): header fields, a fixed table of 101 line
// slots with a cursor, and its saving to and loading from the order tables.

#include "core/value.h"

#include <QString>
#include <array>
#include <cstdint>

namespace store {
class Connection;
}

class clsZak {
public:
    static constexpr int kMaxSlot = 100;  // slots 0..100

    // Header fields, public by design: the windows read and write them by name.
    int32_t order_type = 0;
    int32_t order_ind = 0;
    int32_t norder = 0;
    bool order_is_locked = false;
    QString who_edit_last;
    QString contr;
    QString contr_id;
    QString contr_code;
    QString contact_face;
    QString contact_face_tel;
    QString contact_face_mail;
    QString create_date;
    QString id_rekl;
    QString rekl;
    QString rekl_text;
    QString id_otd;
    QString otd;
    QString cmt;
    QString Comment;
    QString contr_fil;
    int32_t dost_flg = 0;
    int32_t state = 0;
    int32_t otb_flg = 0;
    QString shts;
    int32_t grpZay = 0;

    // The connection every statement goes through (Cn); not owned. Set by the owner
    // right after creation.
    void setConnection(store::Connection* cn) { cn_ = cn; }
    store::Connection* connection() const { return cn_; }

    // Writes header, lines and the lines' notes.
    void SaveOrder();
    // Replaces the content with the stored order. On any failure the object is left
    // empty and new (norder 0, no lines), so that a later save cannot delete stored lines.
    void LoadOrder(const int32_t& ord);
    void Init();
    int16_t InsertRow();
    int16_t RemoveRow(int16_t i);
    core::Value Field(const core::Value& s) const;
    QString FieldSql(const core::Value& s) const;
    // Writes a field of the current line. Shows "Err" without a current line and "Err2"
    // for an unknown name; a value that cannot be converted, or a note longer than its
    // table column holds, throws core::ConversionError and leaves the field unchanged.
    void setField(const core::Value& s, const core::Value& ss);
    int16_t RecordCount() const;
    void Clear();
    void MoveFirst();
    void MoveNext();
    void MoveTo(int32_t ind);
    bool FindIND(int32_t ind);

private:
    struct Line {
        bool used = false;
        int32_t ind_tbl = 0;
        int32_t idn = 0;
        double qty = 0.0;
        QString ed, pr, rezka, prim, sklad;
        int16_t rezFlg = 0;
        QString codeza, id_usl;
        int32_t id_base = 0;
        QString filial;
    };
    struct FieldDef;
    // The line field of that name (exact, case-sensitive), or nullptr; "pos" is none.
    static const FieldDef* lineField(const core::Value& s);
    void resetHeader();
    void freeLines();
    void readOrder(store::Connection& cn, int32_t ord);

    std::array<Line, kMaxSlot + 1> lines_{};
    int16_t cur_ = 0;
    store::Connection* cn_ = nullptr;
};
