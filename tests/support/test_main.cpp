// Test entry point with a fixed C locale unless a test sets another one. Window tests get a
// QApplication on the offscreen platform (so they run anywhere), the layers below a
// QCoreApplication. Settings (window places) go to a folder of the run, never the user's.
#include <gtest/gtest.h>

#include <QLocale>
#include <QSettings>
#include <QTemporaryDir>
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
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
