#include "app/VeltryApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    veltry::VeltryApp veltryApp;
    veltryApp.start();
    return veltryApp.run();
}
