#include "StandinServer.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    standin::Options o;
    o.port = 8765;
    standin::Server server(o);
    if (!server.listen())
        return 1;
    std::printf("orvel-standin listening on %s\n", qPrintable(server.baseUrl()));
    std::fflush(stdout);
    return app.exec();
}
