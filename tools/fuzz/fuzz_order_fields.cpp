// Fuzz target: the order object's line fields written and read with values of every kind,
// among line insertions, removals and cursor moves. A value refused with a
// ConversionError leaves the field as it was; a stored field reads back as its SQL text
// without a non-finite number in it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "core/errors.h"
#include "fuzz_support.h"
#include "order/clsZak.h"

namespace {

const char* const kNames[] = {"ind_tbl", "idn",    "qty",    "ed",      "pr",     "rezka",  "prim", "sklad",
                              "rezFlg",  "codeza", "id_usl", "id_base", "filial", "pos",    "Qty",  ""};

core::Value value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0: return core::Value();
        case 1: return core::Value::null();
        case 2: return core::Value::int16(in.ConsumeIntegral<int16_t>());
        case 3: return core::Value::int32(in.ConsumeIntegral<int32_t>());
        case 4: return core::Value::dbl(in.ConsumeFloatingPoint<double>());
        case 5: return core::Value::boolean(in.ConsumeBool());
        default:
            return core::Value::text(QString::fromUtf8(in.ConsumeRandomLengthString(64).c_str()));
    }
}

// Every conversion of the value, each either a result or a ConversionError.
void convertAll(const core::Value& v) {
    try { (void)v.toInt16(); } catch (const core::ConversionError&) {}
    try { (void)v.toInt32(); } catch (const core::ConversionError&) {}
    try { (void)v.toDouble(); } catch (const core::ConversionError&) {}
    try { (void)v.toBool(); } catch (const core::ConversionError&) {}
    double d = 0;
    if (v.isText()) core::parseNumber(v.rawText(), &d);
    (void)v.toText();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (fuzzsupport::scratchFolder("order"), true);
    (void)quiet;
    FuzzedDataProvider in(data, size);
    clsZak z;
    while (in.remaining_bytes() > 0) {
        const core::Value name = QString::fromLatin1(kNames[in.ConsumeIntegralInRange<size_t>(0, 15)]);
        switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0: z.InsertRow(); break;
            case 1: z.RemoveRow(in.ConsumeIntegral<int16_t>()); break;
            case 2: z.MoveTo(in.ConsumeIntegral<int32_t>()); break;
            case 3: (void)z.FindIND(in.ConsumeIntegral<int32_t>()); break;
            default: {
                const core::Value v = value(in);
                convertAll(v);
                const core::Value before = z.Field(name);
                try {
                    z.setField(name, v);
                } catch (const core::ConversionError&) {
                    if (!(z.Field(name) == before)) std::abort();
                }
                const QString sql = z.FieldSql(name);
                if (sql.contains(QLatin1String("nan"), Qt::CaseInsensitive) ||
                    sql.contains(QLatin1String("inf"), Qt::CaseInsensitive))
                    if (name.rawText() == QLatin1String("qty")) std::abort();
                convertAll(z.Field(name));
            }
        }
    }
    (void)z.RecordCount();
    return 0;
}
