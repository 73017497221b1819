// Kalvix: compares the schemas of two directory trees.
#include <QApplication>

#include "ClientFactory.h"
#include "TMainForm.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("kalvix");
    QApplication::setApplicationDisplayName(kApplicationTitle);
    TMainForm form(CreateConfiguredClient());
    form.show();
    return QApplication::exec();
}
