#include "Apps/converter/Larkspan.h"

int main(int argc, char** argv)
{
    Larkspan app(argc, argv);
    return app.Run();
}
