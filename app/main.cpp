// The dialog program's entry point.
#include "app/cquillan_app.h"

int main(int, char** argv)
{
    return trelvane::CQuillanApp::Run(argv[0]);
}
