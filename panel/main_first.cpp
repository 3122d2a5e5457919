// The first version of the program.
#include "board/boardlink.h"
#include "board/identity.h"
#include "panel/mainform.h"
#include "panel/options.h"
#include "panel/remotefollow.h"
#include "runtime/processstart.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    PrepareProcess();
    PanelOptions options;
    if (const int status = ParsePanelOptions(FirstEdition(), argc, argv, options); status >= 0)
        return status;
    QApplication app(argc, argv);
    SimulateIfAsked(app.arguments());
    UseEdition(FirstEdition());
    if (!ProgramStart())
        return 0;
    if (!StartRemoteIfAsked(options))
        return 1;
    return app.exec();
}
