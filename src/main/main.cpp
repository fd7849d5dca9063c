#include "main/Application.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return marvoline::runApplication(app, argc, argv);
}
