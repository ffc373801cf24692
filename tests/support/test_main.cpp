// Test entry point with a fixed C locale unless a test sets another one. Window tests get a
// QApplication on the offscreen platform (so they run anywhere), the layers below a
// QCoreApplication.
#include <gtest/gtest.h>

#include <QLocale>
#ifdef ZELVORIN_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
