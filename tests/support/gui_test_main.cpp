// Entry point of the test programs that drive real Qt windows. Without a display
// the offscreen platform is chosen, since creating a QApplication with no display
// and no platform would abort the process (and with it the test discovery).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
