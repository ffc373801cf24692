#include "db/schema.h"

#include <stdexcept>

namespace db {
namespace {

// Each table as its column definitions exactly as sent (a definition ends at its comma),
// the central source field of each column, and the source query.
struct TableText {
    const char* name;
    const char* definitions;
    const char* sourceFields;
    const char* sourceQuery;
};

const TableText kTables[] = {
    {"TBL_APPS",
     "IND int,IND_STT int,CGT_NM varchar(250),CNT_NM varchar(250),TLP varchar(250),ML varchar(250),"
     "CMT varchar(250),ADVT varchar(250),CR_DT varchar(25)",
     "", ""},
    {"TBL_APTS", "IND int,IND_APP int,IND_PST int,VL double", "", ""},
    {"TBL_CORD", "IND int,IND_PST int,VL double", "", ""},
    {"TBL_TPS", "IND int,TP_NM varchar (250)", "ind type_name", "select * from tbl_types (nolock)"},
    {"TBL_GRPS", "IND int,IND_TP int,GRP_NM varchar (250)", "ind ind_type group_name",
     "select * from tbl_groups (nolock)"},
    {"TBL_PSTS", "IND int,IND_GRP int,PST_NM varchar (250)", "ind ind_group full_name",
     "select * from tbl_positions (nolock)"},
    {"TBL_RGNS", "IND int,RGN_NM varchar (250)", "ind region_name", "select * from tbl_regions (nolock)"},
    {"TBL_CTS", "IND int,IND_RGN int,CT_NM varchar (250)", "ind ind_region city_name",
     "select * from tbl_cities (nolock)"},
    {"TBL_ORGS", "IND int,ORG_NM varchar (250)", "ind organization_name", "select * from tbl_organizations (nolock)"},
    {"TBL_BSS", "IND int,IND_CT int,IND_ORG int,BS_NM varchar (250)", "ind ind_city ind_organization base_name",
     "select * from tbl_bases (nolock)"},
    {"TBL_PRSS", "IND int,IND_BS int,PRS_NM varchar (250)", "ind ind_base price_name",
     "select * from tbl_prices (nolock)"},
    {"TBL_STFS", "IND int,IND_PST int,IND_PRS int,TO_OUT varchar (250)", "ind ind_position ind_price to_out",
     "select * from tbl_stuffs (nolock) where ind_position>0"},
    {"TBL_CSTS", "IND int,IND_STF int,VL_FRM double,VL_TO double,CST double", "ind ind_stuff val_from val_to cost",
     "select a.* from tbl_costs a (nolock) inner join tbl_stuffs b (nolock) on a.ind_stuff=b.ind where "
     "b.ind_position>0"},
};

Column::Kind kindOf(const QString& definition) {
    const QString type = definition.section(QLatin1Char(' '), 1, 1);
    if (type.startsWith(QLatin1String("varchar")))
        return Column::Kind::Text;
    return type.startsWith(QLatin1String("double")) ? Column::Kind::Number : Column::Kind::Whole;
}

QList<Table> buildTables() {
    QList<Table> out;
    for (const TableText& t : kTables) {
        Table table{QLatin1String(t.name), {}, QLatin1String(t.sourceQuery)};
        const QStringList sources = QString::fromLatin1(t.sourceFields).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString all = QString::fromLatin1(t.definitions);
        qsizetype from = 0;
        while (from < all.size()) {
            const qsizetype comma = all.indexOf(QLatin1Char(','), from);
            const qsizetype end = comma < 0 ? all.size() : comma + 1;
            const QString definition = all.mid(from, end - from);
            const qsizetype i = table.columns.size();
            table.columns.append({definition.section(QLatin1Char(' '), 0, 0), definition, kindOf(definition),
                                  i < sources.size() ? sources[i] : QString()});
            from = end;
        }
        out.append(table);
    }
    return out;
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
