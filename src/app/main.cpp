#include "app/VeltryApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    veltry::VeltryApp veltryApp;
    if (!veltryApp.start())
        return 0;  // another copy runs and was asked to come forward
    return veltryApp.run();
}
