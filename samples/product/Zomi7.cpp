// The sample product that the demo updates: a small program that shows which
// version it is. Built twice, as the installed version and as the update.
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("Zomi7 %s\n", ZOMI7_VERSION_TEXT);
    return 0;
}
