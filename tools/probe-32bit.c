/* Built with gcc -m32 -static: a program that runs only where the kernel
 * itself executes 32-bit x86 code. Static, so that no 32-bit loader or
 * library is needed and a failure can only mean the kernel refused it.
 *
 * A 32-bit process on an x86-64 kernel still sees the kernel's machine name
 * x86_64; user-mode emulation reports the emulated i386/i686 instead. Exit
 * 0 only for a native run, so that a binfmt_misc emulator registered for
 * i386 binaries is not taken for the kernel running them. */
#include <stdio.h>
#include <string.h>
#include <sys/utsname.h>

int main(void) {
    struct utsname name;
    if (uname(&name) != 0)
        return 2;
    if (sizeof(void*) != 4 || strcmp(name.machine, "x86_64") != 0) {
        printf("32-bit code runs, but not on an x86-64 kernel (machine %s)\n", name.machine);
        return 1;
    }
    return 0;
}
