#include <QCoreApplication>

#include "platform/foundation/Bundle.h"

QByteArray launchHelperInfo();
QByteArray localizableStrings();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Bundle::main().setInfoJson(launchHelperInfo());
    Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));
    return 0;
}
