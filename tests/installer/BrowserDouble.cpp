// Stands in for a running browser (copied under the names the installer looks
// for, and under names it must leave alone): it only waits, up to a minute,
// and exits with 7 when nobody ended it.
#include <windows.h>

int main() {
    ::Sleep(60000);
    return 7;
}
