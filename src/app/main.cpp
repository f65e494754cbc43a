#include <QApplication>

#include "platform/foundation/Bundle.h"

QByteArray orvellaInfo();
QByteArray localizableStrings();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Bundle::main().setInfoJson(orvellaInfo());
    Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));
    return 0;
}
