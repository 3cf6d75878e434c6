#include "Apps/converter/Larkspan.h"
#include "Pdf/RemoveOnStop.h"

int main(int argc, char** argv)
{
    // A run stopped by a signal takes its half-written package and private folder with it.
    RemoveOnStopInstall();
    Larkspan app(argc, argv);
    return app.Run();
}
