#include "db/schema.h"

#include <stdexcept>

namespace db {
namespace {

using K = Column::Kind;

QList<Table> buildTables() {
    return {
        {QStringLiteral("TBL_APPS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, {}},
          {QStringLiteral("IND_STT"), QStringLiteral("IND_STT int,"), K::Whole, {}},
          {QStringLiteral("CGT_NM"), QStringLiteral("CGT_NM varchar(250),"), K::Text, {}},
          {QStringLiteral("CNT_NM"), QStringLiteral("CNT_NM varchar(250),"), K::Text, {}},
          {QStringLiteral("TLP"), QStringLiteral("TLP varchar(250),"), K::Text, {}},
          {QStringLiteral("ML"), QStringLiteral("ML varchar(250),"), K::Text, {}},
          {QStringLiteral("CMT"), QStringLiteral("CMT varchar(250),"), K::Text, {}},
          {QStringLiteral("ADVT"), QStringLiteral("ADVT varchar(250),"), K::Text, {}},
          {QStringLiteral("CR_DT"), QStringLiteral("CR_DT varchar(25)"), K::Text, {}}},
         {}},
        {QStringLiteral("TBL_APTS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, {}},
          {QStringLiteral("IND_APP"), QStringLiteral("IND_APP int,"), K::Whole, {}},
          {QStringLiteral("IND_PST"), QStringLiteral("IND_PST int,"), K::Whole, {}},
          {QStringLiteral("VL"), QStringLiteral("VL double"), K::Number, {}}},
         {}},
        {QStringLiteral("TBL_CORD"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, {}},
          {QStringLiteral("IND_PST"), QStringLiteral("IND_PST int,"), K::Whole, {}},
          {QStringLiteral("VL"), QStringLiteral("VL double"), K::Number, {}}},
         {}},
        {QStringLiteral("TBL_TPS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("TP_NM"), QStringLiteral("TP_NM varchar (250)"), K::Text,
           QStringLiteral("type_name")}},
         QStringLiteral("select * from tbl_types (nolock)")},
        {QStringLiteral("TBL_GRPS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("IND_TP"), QStringLiteral("IND_TP int,"), K::Whole, QStringLiteral("ind_type")},
          {QStringLiteral("GRP_NM"), QStringLiteral("GRP_NM varchar (250)"), K::Text,
           QStringLiteral("group_name")}},
         QStringLiteral("select * from tbl_groups (nolock)")},
        {QStringLiteral("TBL_PSTS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("IND_GRP"), QStringLiteral("IND_GRP int,"), K::Whole, QStringLiteral("ind_group")},
          {QStringLiteral("PST_NM"), QStringLiteral("PST_NM varchar (250)"), K::Text,
           QStringLiteral("full_name")}},
         QStringLiteral("select * from tbl_positions (nolock)")},
        {QStringLiteral("TBL_RGNS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("RGN_NM"), QStringLiteral("RGN_NM varchar (250)"), K::Text,
           QStringLiteral("region_name")}},
         QStringLiteral("select * from tbl_regions (nolock)")},
        {QStringLiteral("TBL_CTS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("IND_RGN"), QStringLiteral("IND_RGN int,"), K::Whole, QStringLiteral("ind_region")},
          {QStringLiteral("CT_NM"), QStringLiteral("CT_NM varchar (250)"), K::Text,
           QStringLiteral("city_name")}},
         QStringLiteral("select * from tbl_cities (nolock)")},
        {QStringLiteral("TBL_ORGS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("ORG_NM"), QStringLiteral("ORG_NM varchar (250)"), K::Text,
           QStringLiteral("organization_name")}},
         QStringLiteral("select * from tbl_organizations (nolock)")},
        {QStringLiteral("TBL_BSS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("IND_CT"), QStringLiteral("IND_CT int,"), K::Whole, QStringLiteral("ind_city")},
          {QStringLiteral("IND_ORG"), QStringLiteral("IND_ORG int,"), K::Whole,
           QStringLiteral("ind_organization")},
          {QStringLiteral("BS_NM"), QStringLiteral("BS_NM varchar (250)"), K::Text,
           QStringLiteral("base_name")}},
         QStringLiteral("select * from tbl_bases (nolock)")},
        {QStringLiteral("TBL_PRSS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("IND_BS"), QStringLiteral("IND_BS int,"), K::Whole, QStringLiteral("ind_base")},
          {QStringLiteral("PRS_NM"), QStringLiteral("PRS_NM varchar (250)"), K::Text,
           QStringLiteral("price_name")}},
         QStringLiteral("select * from tbl_prices (nolock)")},
        {QStringLiteral("TBL_STFS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("IND_PST"), QStringLiteral("IND_PST int,"), K::Whole,
           QStringLiteral("ind_position")},
          {QStringLiteral("IND_PRS"), QStringLiteral("IND_PRS int,"), K::Whole, QStringLiteral("ind_price")},
          {QStringLiteral("TO_OUT"), QStringLiteral("TO_OUT varchar (250)"), K::Text,
           QStringLiteral("to_out")}},
         QStringLiteral("select * from tbl_stuffs (nolock) where ind_position>0")},
        {QStringLiteral("TBL_CSTS"),
         {{QStringLiteral("IND"), QStringLiteral("IND int,"), K::Whole, QStringLiteral("ind")},
          {QStringLiteral("IND_STF"), QStringLiteral("IND_STF int,"), K::Whole, QStringLiteral("ind_stuff")},
          {QStringLiteral("VL_FRM"), QStringLiteral("VL_FRM double,"), K::Number, QStringLiteral("val_from")},
          {QStringLiteral("VL_TO"), QStringLiteral("VL_TO double,"), K::Number, QStringLiteral("val_to")},
          {QStringLiteral("CST"), QStringLiteral("CST double"), K::Number, QStringLiteral("cost")}},
         QStringLiteral("select a.* from tbl_costs a (nolock) inner join tbl_stuffs b (nolock) on "
                        "a.ind_stuff=b.ind where b.ind_position>0")},
    };
}

const Table& tableOrThrow(const QString& name) {
    if (const Table* t = findTable(name))
        return *t;
    throw std::out_of_range("unknown local table: " + name.toStdString());
}

QStringList names(bool working, bool reference) {
    QStringList out;
    for (const Table& t : tables())
        if (t.isReference() ? reference : working)
            out << t.name;
    return out;
}

}  // namespace

const QList<Table>& tables() {
    static const QList<Table> all = buildTables();
    return all;
}

QStringList allTables() { return names(true, true); }
QStringList workingTables() { return names(true, false); }
QStringList referenceTables() { return names(false, true); }

const Table* findTable(const QString& name) {
    for (const Table& t : tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QString createStatement(const QString& table) {
    const Table& t = tableOrThrow(table);
    QString sql = QStringLiteral("CREATE TABLE ") + t.name + QStringLiteral(" (");
    for (const Column& c : t.columns)
        sql += c.definition;
    return sql + QLatin1Char(')');
}

QString sourceQuery(const QString& table) { return tableOrThrow(table).sourceQuery; }

}  // namespace db
