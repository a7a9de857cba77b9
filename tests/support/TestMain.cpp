#ifdef TABULON_TEST_WIDGETS
#include <QApplication>
#endif
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every test executable runs headless; the widget-free ones still get a Qt application so that
// locale, file and path services behave as in the program.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps the first user folder it sees for settings of its own (the file dialog's), which
    // would be the first test's folder, written to again after the test removed it: one that
    // lasts as long as the process instead.
    const QTemporaryDir qtSettings;
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, qtSettings.path());
    ::testing::InitGoogleTest(&argc, argv);
#ifdef TABULON_TEST_WIDGETS
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
