#include "gui/Application.h"

#include <QApplication>
#include <QFont>

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QString(":/kalvix/icons/kalvix-%1.png").arg(size), QSize(size, size));
    return icon;
}

void ConfigureApplication() {
    QApplication::setApplicationName("kalvix");
    // No display name: Qt would append it to every window title. The desktop entry names
    // the running program, and the dialogs carry the application title themselves.
    QGuiApplication::setDesktopFileName("kalvix");
    QApplication::setWindowIcon(ProgramIcon());
    // The layout is measured in Arial; Liberation Sans has its metrics.
    QFont::insertSubstitution("Arial", "Liberation Sans");
}
