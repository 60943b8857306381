#include "Application.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication qtApp(argc, argv);
    KorvaApplication application;
    return application.run();
}
