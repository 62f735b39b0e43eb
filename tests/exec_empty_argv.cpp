// Runs the program named by argv[1] with an empty argument vector, as a
// careless or hostile parent process could.
#include <cstdio>

#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: exec_empty_argv PROGRAM\n", stderr);
        return 2;
    }
    char* const emptyArgv[] = {nullptr};
    execve(argv[1], emptyArgv, environ);
    std::perror("execve");
    return 127;
}
