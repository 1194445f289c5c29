// Prints the name of the system code page as the tool sees it ("UTF-8", "CP936"): the case
// runner turns the expected texts into it before comparing.
#include "engine/code_page.h"

#include <cstdio>

int main()
{
    std::puts(trelvane::SystemCodePage().Name().c_str());
}
