// Fuzz target: connection strings as an operator's settings may hold them, and the
// routing decision on the same text taken as a statement.
#include "store/connection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString folder = store::dataSourceFolder(text);
    volatile bool central = store::isCentralStatement(text);
    (void)central;
    (void)folder.size();
    return 0;
}
