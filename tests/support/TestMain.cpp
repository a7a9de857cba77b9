#ifdef TABULON_TEST_WIDGETS
#include <QApplication>
#endif
#include <QCoreApplication>

#include <gtest/gtest.h>

// Every test executable runs headless; the widget-free ones still get a Qt application so that
// locale, file and path services behave as in the program.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
#ifdef TABULON_TEST_WIDGETS
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
